#pragma once

// What the command line's exit status tells a script.
enum ExitCode : int {
  ExitDone = 0,        // every file converted or its target kept by choice (--dry-run: would be);
                       // inspect: every image recognised
  ExitSomeFailed = 1,  // a file refused or unreadable, or a target that could not be written
  ExitUsage = 2,       // usage error, bad option value, a question with no one to ask
  ExitRefused = 3,     // the run was refused before it touched a file
  ExitStopped = 4,     // stopped by the user
};
