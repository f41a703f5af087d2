#include "ui/Toolkit.h"

#include <QApplication>
#include <QMessageBox>

namespace Toolkit {
namespace {

MessageHandler messageHandler;

QMessageBox::Icon toQt(Icon icon) {
  switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::None: break;
  }
  return QMessageBox::NoIcon;
}

Answer showRealBox(const Message& message) {
  QMessageBox box(toQt(message.icon), message.title, message.prompt, QMessageBox::NoButton,
                  QApplication::activeWindow());
  switch (message.buttons) {
    case Buttons::OK:
      box.setStandardButtons(QMessageBox::Ok);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Answer::OK;
  }
}

}  // namespace

Answer MsgBox(const QString& prompt, Buttons buttons, Icon icon, const QString& title) {
  const Message message{prompt, buttons, icon, title};
  return messageHandler ? messageHandler(message) : showRealBox(message);
}

void SetMessageHandler(MessageHandler handler) {
  messageHandler = std::move(handler);
}

void DoEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace Toolkit
