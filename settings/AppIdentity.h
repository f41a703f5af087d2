#pragma once

#include <QString>

// The program's name and version as the main window's caption shows them and
// the command line's --version prints them: "Quillet - v1.02.0000".
QString AppCaption();

// The plain version number, as the package carries it: "1.3.0".
QString AppVersion();
