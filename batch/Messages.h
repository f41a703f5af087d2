#pragma once

#include <QString>

// What a message of the program is made of: its text, button set, icon and
// title. The windows show it in a message box; the command line prints it.
namespace Toolkit {

// The break between the lines of a message's prompt. Each front end shows
// the lines its own way: a message box one under the other, the command
// line as lines or joined into one.
inline const QString LineBreak = QStringLiteral("\n");

enum class Buttons { OK, YesNo, YesNoCancel };
enum class Icon { None, Information, Exclamation, Critical };
enum class Answer { OK, Yes, No, Cancel };

}  // namespace Toolkit

// Why a run was refused before its first file: what a script is told by the
// command line's exit code, whatever the message's words.
enum class RunRefusal {
  None,       // not a refusal
  Folders,    // the source or target folder cannot be used
  Format,     // a layout setting the run cannot use
  Extension,  // an extension that cannot make a file name
  NoFiles,    // nothing to convert
  TooMany,    // more files than one run takes
  Busy,       // another run writes into the target folder
};

namespace Toolkit {

struct Message {
  QString prompt;
  Buttons buttons = Buttons::OK;
  Icon icon = Icon::None;
  QString title;
  RunRefusal refusal = RunRefusal::None;
};

// The prompt's lines joined into one, each trimmed, blank ones left out.
QString OneLine(const Message& message);

}  // namespace Toolkit

// The messages of a run, the same in the windows and on the command line.
// A name, folder or extension in them is shown as Lib_Convert::ShownText
// shows it: a hostile name can neither add a line nor reach a terminal as
// control.
namespace RunMessages {

Toolkit::Message SameFolders();
Toolkit::Message BadFormat(const QString& what);  // "Bank Order", "Pad Value"
Toolkit::Message BadExtension(const QString& which, const QString& extension);
// A target extension with which a target could take the name of a run's
// temporary file, which a later run would remove as a leftover.
Toolkit::Message TemporaryExtension(const QString& extension);
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
// The summary of a run that wrote nothing, in the words of what would happen.
Toolkit::Message DryRunSummary(int total, int converted, int skipped);

}  // namespace RunMessages
