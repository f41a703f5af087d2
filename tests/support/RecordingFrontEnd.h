#pragma once

#include <QList>
#include <QStringList>

#include "batch/BatchRun.h"
#include "batch/RunWords.h"

// A run's front end for tests: keeps every message, report and passed-over entry, and answers
// every question Yes.
class RecordingFrontEnd : public RunFrontEnd {
 public:
  QList<Toolkit::Message> messages;
  QList<FileReport> reports;
  QStringList passedOver;  // "name: reason"

  Toolkit::Answer MsgBox(const Toolkit::Message& message) override {
    messages.append(message);
    return message.buttons == Toolkit::Buttons::OK ? Toolkit::Answer::OK : Toolkit::Answer::Yes;
  }
  void ShowProgress(int, int, const QString&) override {}
  void EventPoint() override {}
  void FileDone(const FileReport& report) override { reports.append(report); }
  void PassedOver(const NativeFile::FolderEntry& entry) override {
    passedOver.append(entry.name + QStringLiteral(": ") + entry.passedOver);
  }

  // Runs over the settings' source folder, listed as the command line lists it, touching no state
  // of the process.
  void runOver(const ConversionSettingsRecord& s, const RunOptions& options = {}) {
    QStringList names;
    QList<NativeFile::FolderEntry> passedOver;
    ListSourceFolder(s.Source, s.SourceExt, &names, &passedOver);
    BatchRun(*this, options, s, names, passedOver).Go();
  }

  // Each report as "name: what happened" in a real run's words, or a dry run's.
  QStringList Lines(bool dryRun) const {
    QStringList lines;
    for (const FileReport& r : reports)
      lines.append(r.name + QStringLiteral(": ") +
                   (dryRun ? RunWords::Prediction(r) : RunWords::Result(r)));
    return lines;
  }
};
