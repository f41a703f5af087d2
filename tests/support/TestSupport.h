#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <cstddef>
#include <functional>

#include "ui/Toolkit.h"

// One data row per table row, named by the row's behaviour; the test
// fetches the row's index as "row".
template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N]) {
  QTest::addColumn<int>("row");
  for (std::size_t i = 0; i < N; ++i) QTest::newRow(rows[i].name) << static_cast<int>(i);
}

// A 224K image of banks 0, 1, 8 and 9 in order, which every layout takes.
QByteArray FourBankImage();

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

// Whether the file system of folder tells names apart that differ only in
// letter case (A.BIN, a.bin): Linux's do, Windows' do not.
bool TellsCaseApart(const QString& folder);

// Whether tests can make symbolic links: not on Windows, where that takes
// privileges (and QFile::link makes a shortcut, an ordinary file).
#ifdef Q_OS_WIN
constexpr bool CanLink = false;
#else
constexpr bool CanLink = true;
#endif
constexpr const char* NoLinks = "making symbolic links takes privileges here";

// Whether the tests run under Wine, whose file system is Windows' in
// behaviour but far slower with thousands of files in one folder.
bool UnderWine();

// Hides a file whose name starts with a dot, which hides it on Unix: on
// Windows hiding is the file's attribute.
void Hide(const QString& path);

// Gives the per-user settings store a place of its own for the lifetime of
// the object, so tests never touch the user's settings and test programs can
// run side by side: on Windows a registry key of its own, removed afterwards;
// elsewhere a temporary folder.
class TemporarySettingsStore {
 public:
  TemporarySettingsStore();
  ~TemporarySettingsStore();
  TemporarySettingsStore(const TemporarySettingsStore&) = delete;
  TemporarySettingsStore& operator=(const TemporarySettingsStore&) = delete;

  // Puts one value into the store as a user editing it by hand would;
  // line is the value as the store file holds it ("8,1,0,9", "\"1, 2\"").
  void editByHand(const QString& section, const QString& key, const QString& line);
  // The text stored under section and key, read from the store itself (on
  // Windows the registry, where only a text value counts); empty when there
  // is none.
  QString storedText(const QString& section, const QString& key) const;
  // Every value in the store, as text.
  QMap<QString, QString> contents() const;
  // Where the store is: a folder, or on Windows a key of HKEY_CURRENT_USER;
  // QUILLET_SETTINGS_ROOT takes it to another process.
  QString root() const { return root_; }
  // The folder the store keeps its file in, and the file (on Windows, where
  // the registry keeps the values, a folder that stays empty).
  QString folder() const { return dir_.path(); }
  QString storeFile() const;

 private:
  QTemporaryDir dir_;
  QString root_;
};
