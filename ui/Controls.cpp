#include "ui/Controls.h"

#include <QKeyEvent>

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QLineEdit::mouseDoubleClickEvent(event);
  Q_EMIT doubleClicked();
}

void TextBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  Q_EMIT lostFocus();
}

namespace {

// The character code a key event types, or -1 for keys that type nothing
// (arrows, Delete, shortcuts).
int typedCode(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    default: break;
  }
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    return -1;
  }
  const QString text = event->text();
  if (text.size() != 1 || !text[0].isPrint()) return -1;
  return text[0].unicode();
}

}  // namespace

void TextBox::keyPressEvent(QKeyEvent* event) {
  const int code = typedCode(event);
  if (!KeyPress || code < 0) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  int KeyAscii = code;
  KeyPress(KeyAscii);
  if (KeyAscii == 0) {
    event->accept();
    return;
  }
  if (KeyAscii == code) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  QKeyEvent replaced(event->type(), Qt::Key_unknown, Qt::NoModifier, QString(QChar(KeyAscii)));
  QLineEdit::keyPressEvent(&replaced);
}

QPushButton* CommandButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(true);
  return button;
}
