#pragma once

#include "batch/StatedLayouts.h"
#include "ui/Form.h"

class QGroupBox;
class QPushButton;
class FileListBox;
class ImageListModel;
class FolderBox;
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
  void txtSource_OLEDragDrop(const QString& folder);
  void txtTarget_OLEDragDrop(const QString& folder);
  void txtSourceExt_LostFocus();
  void txtTargetExt_LostFocus();
  void cmdStrip_Click();
  void cmdOptions_Click();
  void cmdExit_Click();
  void cmdImages_Click();

  QGroupBox* Frame1 = nullptr;
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  QGroupBox* Frame4 = nullptr;
  FolderBox* txtSource = nullptr;
  TextBox* txtSourceExt = nullptr;
  FolderBox* txtTarget = nullptr;
  TextBox* txtTargetExt = nullptr;
  QPushButton* cmdOptions = nullptr;
  QPushButton* cmdStrip = nullptr;
  QPushButton* cmdExit = nullptr;
  QPushButton* cmdImages = nullptr;
  FileListBox* File1 = nullptr;

  // What each file of the source folder is and what the last run did with
  // it: every run reports into it, whether or not its window is open.
  ImageListModel* Images = nullptr;
  // The layouts stated in the image list for images whose marks cannot tell
  // their banks apart: the list's looks and the window's runs read them so,
  // for this session only.
  StatedLayouts Stated;

 protected:
  void Form_Load() override;
  void Form_Unload(int& Cancel) override;

 private:
  void applyEnablingRule();
  void pickFolder(const QString& caption, FolderBox* field, QString* setting);
  void dropFolder(const QString& folder, FolderBox* field, QString* setting);
  void takePickerFolder(FolderBox* field, QString* setting);
  void normaliseExtension(TextBox* field, QString* setting);
  void setRunning(bool running);

  QWidget* body_ = nullptr;
};

namespace Forms {
inline FormSlot<::frm_Main> frm_Main;
}
