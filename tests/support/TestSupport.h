#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <cstddef>
#include <functional>

#include "ui/Toolkit.h"

// One data row per table row, named by its behaviour; the test fetches its index as "row".
template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N]) {
  QTest::addColumn<int>("row");
  for (std::size_t i = 0; i < N; ++i) QTest::newRow(rows[i].name) << static_cast<int>(i);
}

// A 224K image of banks 0, 1, 8 and 9 in order, which every layout takes.
QByteArray FourBankImage();

// Answers every message box while it lives and keeps what was shown: queued answers first,
// then OK to OK boxes and the default answer to questions.
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

// Whether folder's file system tells A.BIN and a.bin apart (Linux's do, Windows' do not).
bool TellsCaseApart(const QString& folder);

// Whether tests can make symbolic links: not on Windows, where QFile::link makes a shortcut.
#ifdef Q_OS_WIN
constexpr bool CanLink = false;
#else
constexpr bool CanLink = true;
#endif
constexpr const char* NoLinks = "making symbolic links takes privileges here";

// Under Wine the file system behaves as Windows' but is far slower with thousands of files.
bool UnderWine();

// On Windows, gives a file whose name starts with a dot the hidden attribute.
void Hide(const QString& path);

// A settings store of its own while the object lives (on Windows a registry key, removed
// afterwards), so tests never touch the user's settings and can run side by side.
class TemporarySettingsStore {
 public:
  TemporarySettingsStore();
  ~TemporarySettingsStore();
  TemporarySettingsStore(const TemporarySettingsStore&) = delete;
  TemporarySettingsStore& operator=(const TemporarySettingsStore&) = delete;

  // Puts in a value as the store file's line holds it ("8,1,0,9", "\"1, 2\""), as by hand.
  void editByHand(const QString& section, const QString& key, const QString& line);
  // The text stored under section and key, read from the store itself; on Windows only a
  // registry text value counts. Empty when there is none.
  QString storedText(const QString& section, const QString& key) const;
  // Every value in the store, as text.
  QMap<QString, QString> contents() const;
  // A folder, or on Windows a key of HKEY_CURRENT_USER; QUILLET_SETTINGS_ROOT passes it on.
  QString root() const { return root_; }
  // The folder of the store file, and the file (on Windows unused).
  QString folder() const { return dir_.path(); }
  QString storeFile() const;

 private:
  QTemporaryDir dir_;
  QString root_;
};
