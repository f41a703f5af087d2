#include "ui/Form.h"

#include <QCloseEvent>
#include <QEventLoop>

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Form::Load() {
  Form_Load();
}

void Form::Show(ShowMode mode) {
  if (unloaded_) return;
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
