#pragma once

#include <QByteArray>
#include <QDir>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include "tests/support/TestSupport.h"

class frm_Main;

// Source and target folders in a temporary folder, a temporary settings store and a freshly
// loaded main window pointing at both.
class RunFixture {
 public:
  RunFixture();
  ~RunFixture();

  QString source() const { return dir_.path() + QStringLiteral("/src/"); }
  QString target() const { return dir_.path() + QStringLiteral("/dst/"); }
  QString root() const { return dir_.path(); }

  void putSource(const QString& name, const QByteArray& data);
  void putTarget(const QString& name, const QByteArray& data);

  // Every file of a folder with its bytes, to compare before and after.
  static QMap<QString, QByteArray> snapshot(const QString& folder);

  // Points the main window's fields and the settings at the folders.
  void setFolders(const QString& sourceFolder, const QString& targetFolder);
  void setExtensions(const QString& sourceExt, const QString& targetExt);

  // Clicks "&Reorder" and returns when the run is over.
  void reorder();

  frm_Main* main() const { return main_; }
  const TemporarySettingsStore& store() const { return store_; }
  MessageRecorder messages;

 private:
  TemporarySettingsStore store_;
  QTemporaryDir dir_;
  frm_Main* main_ = nullptr;
};

// Removes windows that have closed, so each test starts without them.
void flushClosedWindows();
