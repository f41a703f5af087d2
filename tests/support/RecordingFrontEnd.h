#pragma once

#include <QList>
#include <QStringList>
#include <functional>

#include "batch/BatchRun.h"
#include "batch/RunWords.h"

// A run's front end for tests: keeps every message, report and passed-over
// entry, answers questions from a queue (Yes when it is empty), and stops
// the run when asked to at a file's event point.
class RecordingFrontEnd : public RunFrontEnd {
 public:
  QList<Toolkit::Message> messages;
  QList<FileReport> reports;
  QStringList passedOver;  // "name: reason"
  QList<Toolkit::Answer> answers;
  int groups = 0;  // times the counts changed
  // Called at each file's event point with its index; may set stop.
  std::function<void(int fileIndex)> atEventPoint;
  bool stop = false;

  Toolkit::Answer MsgBox(const Toolkit::Message& message) override {
    messages.append(message);
    if (message.buttons == Toolkit::Buttons::OK) return Toolkit::Answer::OK;
    return answers.isEmpty() ? Toolkit::Answer::Yes : answers.takeFirst();
  }
  void ShowProgress(int fileIndex, int, const QString&) override { index_ = fileIndex; }
  void EventPoint() override {
    if (atEventPoint) atEventPoint(index_);
  }
  bool StopRequested() const override { return stop; }
  void FileDone(const FileReport& report) override { reports.append(report); }
  void CountsChanged(const RunTotals&) override { ++groups; }
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

 private:
  int index_ = 0;
};
