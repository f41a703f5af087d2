#pragma once

#include <QString>

class Options;

// The completion script of a shell (bash, zsh or fish) for quillet-cli,
// made from the commands and options --help lists; empty text for a shell
// it does not know.
QString CompletionScript(const Options& options, const QString& shell);
