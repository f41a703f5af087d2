#pragma once

#include <QJsonObject>
#include <QList>

#include "batch/BatchRun.h"
#include "cli/ProgressLine.h"

// The run's front end on a terminal or in a script: progress and a line for
// each file not converted on stderr, the overwrite question asked on stdin,
// Ctrl+C taken as a stop, the refusal on stderr and the summary on stdout,
// as text or as JSON lines.
class TerminalFrontEnd : public RunFrontEnd {
 public:
  struct Mode {
    bool json = false;
    bool dryRun = false;  // tells every file's prediction on stdout
    bool quiet = false;   // no progress, no notes, no lines for entries passed over
  };
  explicit TerminalFrontEnd(Mode mode);

  Toolkit::Answer MsgBox(const Toolkit::Message& message) override;
  void ShowProgress(int fileIndex, int fileCount, const QString& sourcePath) override;
  void EventPoint() override;
  void FileDone(const FileReport& report) override;
  void PassedOver(const NativeFile::FolderEntry& entry) override;

  // After the run: tells the refusal or the summary, and gives the exit code.
  int Finish(const RunTotals& totals);
  // A run refused before it started (the listing of the source folder).
  int Refuse(const Toolkit::Message& message);

 private:
  Toolkit::Answer ask(const Toolkit::Message& message);
  QJsonObject summary(const RunTotals& totals) const;
  // The summary in one line, or the refusal's text.
  QString said(const RunTotals& totals) const;
  // The files of the run that a stop left unread.
  int notRead(const RunTotals& totals) const;

  const Mode mode_;
  ProgressLine progress_;
  // The run's notices (a refusal or the summary), told once it has ended.
  QList<Toolkit::Message> notices_;
  int refused_ = 0;
  // Files not converted for another reason than a target kept by choice.
  int failed_ = 0;
  int passedOver_ = 0;
  int fileCount_ = 0;
};

// A name's exact bytes, as the system takes them, in base64: what a script
// needs to find the file whose name a terminal cannot show.
QJsonValue NameBytes(const QString& name);
