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
