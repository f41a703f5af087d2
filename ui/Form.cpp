#include "ui/Form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Form::Load() {
  Form_Load();
}

void Form::setUpDialogFrame(const char* name, const QString& caption) {
  setObjectName(QString::fromLatin1(name));
  setWindowTitle(caption);
  setWindowFlags((parentWidget() ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

void Form::closeOnEscape(std::function<void()> close) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, std::move(close));
}

void Form::Show(ShowMode mode) {
  if (unloaded_) return;
  if (!isVisible() && !placed_) placeOverOwner();
  if (mode == ShowMode::Modeless) {
    if (isVisible()) raise();
    show();
    activateWindow();
    return;
  }
  setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  connect(this, &Form::unloaded, &loop, &QEventLoop::quit);
  show();
  activateWindow();
  if (!unloaded_) loop.exec();
}

bool Form::Unload() {
  if (unloaded_) return true;
  // Through close(), so that closing the last window ends the program.
  return close();
}

bool Form::tryUnload() {
  int cancel = 0;
  Form_Unload(cancel);
  if (cancel != 0) return false;
  unloaded_ = true;
  Q_EMIT unloaded();
  if (!holdDeletion_) deleteLater();
  return true;
}

void Form::ReleaseDeletion() {
  holdDeletion_ = false;
  if (unloaded_) deleteLater();
}

void Form::closeEvent(QCloseEvent* event) {
  if (unloaded_ || tryUnload()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void Form::placeOverOwner() {
  // Over the window it was opened from, where the user is looking, but never
  // beyond the edges of the screen.
  QWidget* owner = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
  if (!owner || owner == this || !owner->isVisible()) return;
  placed_ = true;
  adjustSize();
  // adjustSize keeps a window within two thirds of the screen; a window that
  // asks for more, as the image list does for its columns, may have it all.
  const QRect screen = owner->screen()->availableGeometry();
  const QSize margins = frameGeometry().size() - size();
  resize(size().expandedTo(sizeHint().boundedTo(screen.size() - margins)));
  QRect frame(QPoint(), frameGeometry().size());
  frame.moveCenter(owner->frameGeometry().center());
  frame.moveLeft(std::clamp(frame.left(), screen.left(),
                            std::max(screen.left(), screen.right() + 1 - frame.width())));
  frame.moveTop(std::clamp(frame.top(), screen.top(),
                           std::max(screen.top(), screen.bottom() + 1 - frame.height())));
  move(frame.topLeft());
}
