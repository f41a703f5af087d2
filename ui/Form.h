#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QCloseEvent;

// A top-level window of the program. It is built, then loaded (Form_Load),
// then shown; closing it, by code or by the window system, goes through
// Form_Unload, which may refuse. A window that has closed is gone: its
// FormSlot builds a fresh one at the next use.
class Form : public QWidget {
  Q_OBJECT

 public:
  enum class ShowMode { Modeless, Modal };

  explicit Form(QWidget* parent = nullptr);

  // Runs Form_Load once, right after the window has been built.
  void Load();

  // Modeless: shows the window, or brings it forward, and returns at once.
  // Modal: shows it and returns when it has closed; the other windows take
  // no input meanwhile.
  void Show(ShowMode mode = ShowMode::Modeless);

  // Closes the window through Form_Unload; false when that refused.
  bool Unload();

  bool IsUnloaded() const { return unloaded_; }

 Q_SIGNALS:
  void unloaded();

 protected:
  virtual void Form_Load() {}
  // Setting Cancel to a non-zero value keeps the window open.
  virtual void Form_Unload(int& Cancel) { Q_UNUSED(Cancel); }

  void closeEvent(QCloseEvent* event) override;

  // Names the window and gives it a title bar with a close box only, as
  // every window but the main one has.
  void setUpDialogFrame(const char* name, const QString& caption);

  // Escape, wherever the focus is in the window, does what `close` does:
  // the way out a dialog has by the keyboard.
  void closeOnEscape(std::function<void()> close);

  // While held, a window that closes is hidden and forgotten but not yet
  // deleted, so that code running in one of its own handlers (a run that
  // lets events in) can finish; releasing deletes it if it has closed.
  void HoldDeletion() { holdDeletion_ = true; }
  void ReleaseDeletion();

 private:
  bool tryUnload();
  void placeOverOwner();

  bool unloaded_ = false;
  bool holdDeletion_ = false;
  bool placed_ = false;
};

// The one instance of a window class: built and loaded at its first use,
// forgotten as soon as it closes, so that the next use builds it afresh even
// before Qt has deleted the old one.
template <class T>
class FormSlot {
 public:
  T* get() {
    if (!form_) {
      T* form = new T();
      form_ = form;
      QObject::connect(form, &Form::unloaded, form, [this, form] {
        if (form_ == form) form_ = nullptr;
      });
      form->Load();
    }
    return form_;
  }
  T* operator->() { return get(); }

  // The instance when one is loaded; never builds one.
  T* loaded() const { return form_; }

 private:
  QPointer<T> form_;
};
