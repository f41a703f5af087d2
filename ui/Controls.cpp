#include "ui/Controls.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

#include "engine/Lib_Convert.h"

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
  // An edit reports textEdited before textChanged, so shown_ still holds the
  // text from before the edit when the edit is checked.
  connect(this, &QLineEdit::textEdited, this, &TextBox::checkEdit);
  connect(this, &QLineEdit::textChanged, this, [this] { shown_ = text(); });
}

void TextBox::checkEdit() {
  const QString edited = text();
  // What the edit put in: the part between what it kept of the old text at
  // the start and at the end.
  const qsizetype common = std::min(edited.size(), shown_.size());
  qsizetype head = 0;
  while (head < common && edited[head] == shown_[head]) ++head;
  qsizetype tail = 0;
  while (tail < common - head &&
         edited[edited.size() - 1 - tail] == shown_[shown_.size() - 1 - tail]) {
    ++tail;
  }
  QString inserted = edited.mid(head, edited.size() - head - tail);
  // Pasted or dropped text goes through the same filter as typed text.
  if (KeyPress && !typing_) {
    QString passed;
    for (QChar c : std::as_const(inserted)) {
      int KeyAscii = c.isPrint() ? c.unicode() : 0;
      if (KeyAscii) KeyPress(KeyAscii);
      if (KeyAscii) passed += QChar(KeyAscii);
    }
    inserted = passed;
  }
  if (typingLimit_ > 0) {
    const qsizetype room = std::max<qsizetype>(typingLimit_, shown_.size());
    inserted.truncate(room - head - tail);
  }
  const QString checked = edited.left(head) + inserted + edited.right(tail);
  if (checked == edited) return;
  setText(checked);
  setCursorPosition(static_cast<int>(head + inserted.size()));
}

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
  // What the filter let through is not filtered again as an edit.
  typing_ = true;
  if (KeyAscii == code) {
    QLineEdit::keyPressEvent(event);
  } else {
    QKeyEvent replaced(event->type(), Qt::Key_unknown, Qt::NoModifier, QString(QChar(KeyAscii)));
    QLineEdit::keyPressEvent(&replaced);
  }
  typing_ = false;
}

FolderBox::FolderBox(QWidget* parent) : TextBox(parent) {
  setReadOnly(true);
  setAcceptDrops(true);
}

void FolderBox::SetFolder(const QString& folder) {
  folder_ = folder;
  setText(Lib_Convert::ShownText(folder));
  setCursorPosition(0);
}

void FolderBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers modifiers =
      event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  const bool opens = modifiers == Qt::NoModifier
                         ? key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space ||
                               key == Qt::Key_F4
                         : modifiers == Qt::AltModifier && key == Qt::Key_Down;
  if (!opens) {
    TextBox::keyPressEvent(event);
    return;
  }
  event->accept();
  Q_EMIT pickerKeyPressed();
}

namespace {

// The local folder that data names when it names exactly one thing and that
// is a folder; empty otherwise.
QString droppedFolder(const QMimeData* data) {
  if (!data || !data->hasUrls()) return QString();
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return QString();
  const QString path = urls[0].toLocalFile();
  return QFileInfo(path).isDir() ? path : QString();
}

}  // namespace

// Answered while the drag is still over the field, so that the pointer tells
// the user whether letting go will take what is dragged.
void FolderBox::dragEnterEvent(QDragEnterEvent* event) {
  dragMoveEvent(event);
}

void FolderBox::dragMoveEvent(QDragMoveEvent* event) {
  acceptFolder(event);
}

void FolderBox::dropEvent(QDropEvent* event) {
  const QString folder = acceptFolder(event);
  if (!folder.isEmpty()) Q_EMIT folderDropped(folder);
}

QString FolderBox::acceptFolder(QDropEvent* event) {
  const QString folder = droppedFolder(event->mimeData());
  // Only the folder's name is taken. Accepting a move would have the file
  // manager delete the folder afterwards, so a drop is a copy or a link.
  const Qt::DropActions possible = event->possibleActions();
  const Qt::DropAction action = possible.testFlag(Qt::CopyAction)   ? Qt::CopyAction
                                : possible.testFlag(Qt::LinkAction) ? Qt::LinkAction
                                                                    : Qt::IgnoreAction;
  if (folder.isEmpty() || action == Qt::IgnoreAction) {
    event->ignore();
    return QString();
  }
  event->setDropAction(action);
  event->accept();
  return folder;
}

void TabToChosenOption(const QList<QRadioButton*>& group) {
  const auto follow = [group] {
    const bool chosen = std::any_of(group.cbegin(), group.cend(),
                                    [](const QRadioButton* b) { return b->isChecked(); });
    for (QRadioButton* option : group) {
      option->setFocusPolicy(!chosen || option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    }
  };
  for (QRadioButton* option : group)
    QObject::connect(option, &QRadioButton::toggled, option, follow);
  follow();
}

QPushButton* CommandButton(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(true);
  return button;
}
