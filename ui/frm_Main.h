#pragma once

#include "ui/Form.h"

class QGroupBox;
class QPushButton;
class FileListBox;
class TextBox;

// The start-up window: the source and target folders and extensions, and
// the buttons that open the options, start a run and leave the program.
class frm_Main : public Form {
  Q_OBJECT

 public:
  frm_Main();

  void txtSource_Change();
  void txtTarget_Change();
  void txtSource_DblClick();
  void txtTarget_DblClick();
  void txtSourceExt_LostFocus();
  void txtTargetExt_LostFocus();
  void cmdStrip_Click();
  void cmdOptions_Click();
  void cmdExit_Click();

  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QGroupBox* Frame4 = nullptr;
  TextBox* txtSource = nullptr;
  TextBox* txtSourceExt = nullptr;
  TextBox* txtTarget = nullptr;
  TextBox* txtTargetExt = nullptr;
  QPushButton* cmdOptions = nullptr;
  QPushButton* cmdStrip = nullptr;
  QPushButton* cmdExit = nullptr;
  FileListBox* File1 = nullptr;

 protected:
  void Form_Load() override;
  void Form_Unload(int& Cancel) override;

 private:
  void applyEnablingRule();
  void pickFolder(const QString& caption, TextBox* field, QString* setting);
  void normaliseExtension(TextBox* field, QString* setting);
  void setRunning(bool running);

  QWidget* body_ = nullptr;
};

namespace Forms {
inline FormSlot<::frm_Main> frm_Main;
}
