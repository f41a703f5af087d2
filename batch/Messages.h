#pragma once

#include <QString>

// What a message of the program is made of: its text, button set, icon and
// title. The windows show it in a message box; the command line prints it.
namespace Toolkit {

// Line break inside a message prompt.
inline const QString CRLF = QStringLiteral("\r\n");

enum class Buttons { OK, YesNo, YesNoCancel };
enum class Icon { None, Information, Exclamation, Critical };
enum class Answer { OK, Yes, No, Cancel };

struct Message {
  QString prompt;
  Buttons buttons = Buttons::OK;
  Icon icon = Icon::None;
  QString title;
};

}  // namespace Toolkit

// The messages of a run, the same in the windows and on the command line.
namespace RunMessages {

Toolkit::Message SameFolders();
Toolkit::Message BadFormat(const QString& what);  // "Bank Order", "Pad Value"
Toolkit::Message BadExtension(const QString& which, const QString& extension);
Toolkit::Message SourceUnreadable(const QString& folder);
Toolkit::Message TargetUnreadable(const QString& folder);
Toolkit::Message TargetUnwritable(const QString& folder);
Toolkit::Message TargetBusy(const QString& folder);
Toolkit::Message NoFilesFound(const QString& pattern);
Toolkit::Message NoFilesGiven();
Toolkit::Message TooManyFiles(int count, const QString& pattern);
Toolkit::Message TooManyFilesGiven(int count);
Toolkit::Message OverwriteQuestion(const QString& targetName);
Toolkit::Message Summary(int total, int converted, int skipped);

}  // namespace RunMessages
