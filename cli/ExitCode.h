#pragma once

// What the command line's exit status tells a script.
enum ExitCode : int {
  ExitDone = 0,         // every file converted (--dry-run: recognised); inspect: every image
  ExitSomeSkipped = 1,  // some files skipped or refused
  ExitUsage = 2,        // usage error, bad option value, a question with no one to ask
  ExitRefused = 3,      // the run was refused before it touched a file
  ExitStopped = 4,      // stopped by the user
};
