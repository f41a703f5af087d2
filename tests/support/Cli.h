#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include "tests/support/TestSupport.h"

// What a run of quillet-cli said, and its exit code (-1 when it did not end).
struct CliResult {
  int code = -1;
  QString out, err;
};

// Runs quillet-cli (or program, in folder) on the store's settings, never the user's. The tests
// that include this are given the path of the built quillet-cli as QUILLET_CLI.
inline CliResult RunCli(const QStringList& args, const TemporarySettingsStore& store,
                        const QString& program = QStringLiteral(QUILLET_CLI),
                        const QString& folder = {}) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUILLET_SETTINGS_ROOT", store.root());
  process.setProcessEnvironment(env);
  process.setWorkingDirectory(folder);
  // Wine now and then fails to make a process while its server is busy:
  // a program that never started is started once more.
  bool finished = false;
  for (int attempt = 0; attempt < 2 && !finished; ++attempt) {
    process.start(program, args);
    process.closeWriteChannel();
    finished = process.waitForFinished(60000);
    if (!finished && process.error() != QProcess::FailedToStart) break;
  }
  if (!finished) return {};
  // Windows ends the lines of text output with CR LF.
  const auto text = [](const QByteArray& b) { return QString::fromUtf8(b).replace("\r\n", "\n"); };
  return {process.exitCode(), text(process.readAllStandardOutput()),
          text(process.readAllStandardError())};
}
