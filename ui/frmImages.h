#pragma once

#include <QFileSystemWatcher>
#include <QTimer>

#include "settings/modGlobals.h"
#include "ui/Form.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class ImageTable;
class ImageListDelegate;
class ImageListModel;
class ImageSurvey;
class ImageListFilter;

// The image list: every file Reorder would take from the source folder, in
// the run's order, with what it is, what a run with the current options and
// target folder would do to its target or what the last run did, and below
// them the entries a run passes over. It looks again when the folders,
// extensions, options or the files of the folders change, and never while a
// run goes on.
class frmImages : public Form {
  Q_OBJECT

 public:
  frmImages();

  void cmdRefresh_Click();
  void chkLeftOut_Click();
  void cmdReadAs_Click();

  // Called by the main window around a run: the look stops for the run and
  // starts again once it has ended, while the rows take its outcomes.
  void RunStarting();
  void RunEnded();

  ImageTable* lvwImages = nullptr;
  QCheckBox* chkLeftOut = nullptr;
  QLabel* lblCount = nullptr;
  QProgressBar* prgLook = nullptr;
  QPushButton* cmdRefresh = nullptr;
  QPushButton* cmdReadAs = nullptr;

  QSize sizeHint() const override;

 protected:
  void Form_Load() override;
  void Form_Unload(int& Cancel) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void look();
  void settingsMayHaveChanged();
  void watchFolders();
  void showCount();
  void copyRows();
  void growToFit();
  // Whether the current row's image is one whose layout can be stated.
  bool canReadAs() const;
  void enableReadAs();

  ImageListModel* model_ = nullptr;
  ImageListFilter* filter_ = nullptr;
  ImageListDelegate* delegate_ = nullptr;
  ImageSurvey* survey_ = nullptr;
  QFileSystemWatcher watcher_;
  QTimer settle_;  // a burst of changes in a folder gives one look
  QTimer poll_;
  ConversionSettingsRecord lookedAt_;
  QString refusal_;  // why the run would be refused, while it would be
  bool running_ = false;
  bool growOnce_ = false;  // the window may still widen to the first look's columns
};

namespace Forms {
inline FormSlot<::frmImages> frmImages;
}
