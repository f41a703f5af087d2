#pragma once

#include <QElapsedTimer>
#include <QString>

// One updating line on stderr while a run lasts more than a moment: files
// done of the total and the current name, shown as a name is shown. Shows
// nothing when stderr is not a terminal, nor when it is not wanted.
class ProgressLine {
 public:
  explicit ProgressLine(bool wanted = true);

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
