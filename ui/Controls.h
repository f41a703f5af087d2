#pragma once

#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

// A text box with the events the windows handle: a double-click, the loss of
// the keyboard focus, and each typed character before it reaches the box.
class TextBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit TextBox(QWidget* parent = nullptr);

  // Called with the character code of each typed character (8 for
  // Backspace, 13 for Enter, 27 for Esc), and of each printable character
  // pasted or dropped. Setting KeyAscii to 0 drops the character; another
  // code replaces it.
  std::function<void(int& KeyAscii)> KeyPress;

  // The most characters typing or pasting can leave in the box (0: no
  // limit). Text the program puts there is shown whole however long it is;
  // the user can then shorten it but not make it longer.
  void setTypingLimit(int limit) { typingLimit_ = limit; }

 Q_SIGNALS:
  void doubleClicked();
  void lostFocus();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void checkEdit();

  int typingLimit_ = 0;
  bool typing_ = false;  // a key press the filter has seen is being applied
  QString shown_;        // the text before the user's latest edit
};

// A folder field: read-only to the keyboard, it takes one folder dropped on
// it from a file manager and refuses anything else dropped on it. It opens
// like a combo box: Enter, Space, F4 or Alt+Down ask for the folder picker,
// as a double-click does. A folder's name may hold characters that are
// control, not text; the field shows them escaped and keeps the folder as
// it is.
class FolderBox : public TextBox {
  Q_OBJECT

 public:
  explicit FolderBox(QWidget* parent = nullptr);

  QString Folder() const { return folder_; }
  // Shows the folder; the shown text changes, and with it textChanged, only
  // when the folder does.
  void SetFolder(const QString& folder);

 Q_SIGNALS:
  void folderDropped(const QString& folder);
  void pickerKeyPressed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Accepts the event when it carries a folder, refuses it otherwise; the
  // folder, or empty.
  QString acceptFolder(QDropEvent* event);

  QString folder_;
};

// Tab enters a group of options at its chosen one, as everywhere on the
// desktop, and the arrow keys move within the group; with none chosen, at
// its first. Follows every later choice.
void TabToChosenOption(const QList<QRadioButton*>& group);

// A command button as every window has them: found by its name, and pressed
// by Enter while it has the focus, since no window has a default button.
QPushButton* CommandButton(const char* name, const QString& caption, QWidget* parent = nullptr);
