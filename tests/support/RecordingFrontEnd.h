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

  // Each report as "name: what happened" in a real run's words, or a dry run's.
  QStringList Lines(bool dryRun) const {
    QStringList lines;
    for (const FileReport& r : reports)
      lines.append(r.name + QStringLiteral(": ") +
                   (dryRun ? RunWords::Prediction(r) : RunWords::Result(r)));
    return lines;
  }
};
