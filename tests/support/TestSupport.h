#pragma once

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>

#include "ui/Toolkit.h"

// Answers every message box of the program for the lifetime of the object
// and keeps what was shown. Answers are taken from the queue in order; when
// it is empty, OK boxes get OK and question boxes get the default answer.
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  void queue(Toolkit::Answer answer) { answers_.append(answer); }
  // Called for each message before it is answered, e.g. to act mid-run.
  std::function<void(const Toolkit::Message&)> onShow;

  QList<Toolkit::Message> shown;
  QStringList titles() const;

 private:
  QList<Toolkit::Answer> answers_;
};

// Points the per-user settings store at a fresh temporary folder for the
// lifetime of the object, so tests never touch the real user's settings.
class TemporarySettingsStore {
 public:
  TemporarySettingsStore();
  ~TemporarySettingsStore();
  // The file the store keeps its values in on this platform.
  QString storeFile() const;
  QString folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};
