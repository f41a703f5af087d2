#pragma once

#include <QString>
#include <cstdio>

// What the command line needs of the console it runs in: whether a stream
// is a terminal, Ctrl+C noted instead of ending the process, and text
// written to the standard streams.
namespace Terminal {

bool IsTerminal(std::FILE* stream);

// From now on an interrupt (Ctrl+C) only sets a flag, which the run takes up
// at its next event point. A read from the terminal that it interrupts
// returns at once, as if the input had ended. A closed output pipe no longer
// ends the process either.
void CatchInterrupt();
bool InterruptRequested();

// Writes text in the console's encoding and flushes, so that the order of
// lines on stdout and stderr is the order in which they were written.
void Write(std::FILE* stream, const QString& text);

// One line from stdin, without its line break; false at the end of the input
// or when an interrupt cut the read short.
bool ReadLine(QString* line);

}  // namespace Terminal
