#pragma once

#include <QLineEdit>
#include <QPushButton>
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
// it from a file manager and refuses anything else dropped on it.
class FolderBox : public TextBox {
  Q_OBJECT

 public:
  explicit FolderBox(QWidget* parent = nullptr);

 Q_SIGNALS:
  void folderDropped(const QString& folder);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Accepts the event when it carries a folder, refuses it otherwise; the
  // folder, or empty.
  QString acceptFolder(QDropEvent* event);
};

// A command button as every window has them: found by its name, and pressed
// by Enter while it has the focus, since no window has a default button.
QPushButton* CommandButton(const char* name, const QString& caption, QWidget* parent = nullptr);
