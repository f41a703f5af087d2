#pragma once

#include <QElapsedTimer>
#include <QString>

// One updating line on stderr while a run lasts more than a moment: files
// done of the total and the current name. Shows nothing when stderr is not
// a terminal.
class ProgressLine {
 public:
  ProgressLine();

  // The file being taken up, by its path; the line shows its name.
  void Show(int done, int total, const QString& path);
  // Takes the line away, before anything else is written to the terminal.
  void Clear();

 private:
  bool enabled_;
  QElapsedTimer sinceStart_;
  QElapsedTimer sinceShown_;
  qsizetype shownWidth_ = 0;
};
