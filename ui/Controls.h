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
  // Backspace, 13 for Enter, 27 for Esc). Setting KeyAscii to 0 drops the
  // character; another code replaces it.
  std::function<void(int& KeyAscii)> KeyPress;

 Q_SIGNALS:
  void doubleClicked();
  void lostFocus();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

// A command button as every window has them: found by its name, and pressed
// by Enter while it has the focus, since no window has a default button.
QPushButton* CommandButton(const char* name, const QString& caption, QWidget* parent = nullptr);
