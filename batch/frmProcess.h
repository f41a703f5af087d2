#pragma once

#include "ui/Form.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The window that is up while a run converts the source folder: how many
// files there are and remain, the file being handled, a progress bar, and a
// button to stop the run after the current file. It owns the run.
class frmProcess : public Form {
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

  // Counters of the current run.
  qint16 ConvertedCount = 0;
  qint16 SkippedCount = 0;
  bool WriteAllowed = false;

 protected:
  void Form_Load() override;
  void Form_Unload(int& Cancel) override;

 private:
  enum class Outcome { Converted, Skipped, Stopped };
  Outcome convertOne(const QString& name);
  bool refuseRun();
};

namespace Forms {
inline FormSlot<::frmProcess> frmProcess;
}
