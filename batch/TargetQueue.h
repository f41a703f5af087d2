#pragma once

#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <functional>
#include <future>
#include <vector>

#include "batch/RunReport.h"
#include "batch/TargetFolder.h"

// The files a run has taken up, on their way to being final: written
// targets wait here to be put in place together, so that the wait for the
// disk is paid once for many files, and every other file's report waits
// with them, so that reports stay in list order. The files wait in two
// groups: the open one, being written, and the sealed one, being put in
// place on a thread of its own meanwhile; so a kill loses at most two
// groups' work. That thread only waits for the disk and moves the group's
// own files; every report is handed on from the thread that runs the queue.
class TargetQueue {
 public:
  // Called with each group of reports, in list order, once they are final.
  using Settled = std::function<void(const std::vector<FileReport>& group)>;

  TargetQueue(TargetFolder* folder, Settled settled);
  // Puts every written file in place first.
  ~TargetQueue();
  TargetQueue(const TargetQueue&) = delete;
  TargetQueue& operator=(const TargetQueue&) = delete;

  // A file whose report is final already: refused, skipped, kept, a dry run's.
  void AddFinal(FileReport report);
  // A written target, final once it is in place.
  void AddPending(FileReport report, TargetFolder::Placing placing);

  // Whether a target of this name waits to be put in place; letter case is
  // ignored, as some file systems do.
  bool Holds(const QString& targetName) const;

  // Once the sealed group is in place and the open one is large or old
  // enough, or the open one is full: settles the sealed group, waiting for
  // it if need be, and starts putting the open group in place.
  void Advance();

  // Puts every written file in place now and settles every report.
  void Commit();

 private:
  struct Entry {
    FileReport report;
    bool written;
    TargetFolder::Placing placing;
  };
  struct Group {
    std::vector<Entry> entries;
    QSet<QString> names;
    int pending = 0;
    std::future<void> placing;

    void PutInPlace(TargetFolder* folder);
  };

  void settle(Group& group);

  TargetFolder* folder_;
  Settled settled_;
  Group open_;
  Group sealed_;
  QElapsedTimer clock_;
};
