#pragma once

#include <QElapsedTimer>

#include "batch/BatchRun.h"
#include "ui/Form.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The window that is up while a run converts the source folder: how many
// files there are and remain, the file being handled, a progress bar, and a
// button to stop the run after the current file. It owns the run, and is
// the run's front end in the windows.
class frmProcess : public Form, public RunFrontEnd {
  Q_OBJECT

 public:
  frmProcess();

  // Converts every file of FileList from the source folder into the target
  // folder, shows the summary and closes this window.
  void StripFiles();

  void cmdCancel_Click();

  QLabel* lblInfo = nullptr;
  QLabel* lblFilename = nullptr;
  QGroupBox* Frame2 = nullptr;
  QProgressBar* pbOverall = nullptr;
  QPushButton* cmdCancel = nullptr;

  // Another front end that is told each file's report, the counts and the
  // entries passed over, as this window is: the image list's feed.
  RunFrontEnd* alsoTell = nullptr;

  // Counters of the current run.
  qint16 ConvertedCount = 0;
  qint16 SkippedCount = 0;

  Toolkit::Answer MsgBox(const Toolkit::Message& message) override;
  void ShowProgress(int fileIndex, int fileCount, const QString& sourcePath) override;
  void EventPoint() override;
  void FileDone(const FileReport& report) override;
  void CountsChanged(const RunTotals& totals) override;
  void PassedOver(const NativeFile::FolderEntry& entry) override;

 protected:
  void Form_Load() override;
  void Form_Unload(int& Cancel) override;

 private:
  void paintProgress();
  void fitInfo();

  // The progress of the file being handled, and when the window last showed
  // it: painting every file would cost more than converting it.
  struct Progress {
    int fileIndex = 0;
    int fileCount = 0;
    QString sourcePath;
  } progress_;
  bool progressShown_ = true;
  BatchRun* run_ = nullptr;  // while StripFiles runs
  QElapsedTimer sincePainted_;
};

namespace Forms {
inline FormSlot<::frmProcess> frmProcess;
}
