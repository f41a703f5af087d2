#pragma once

#include <QComboBox>
#include <QListWidget>
#include <functional>

#include "ui/Form.h"

class QLabel;
class QPushButton;

// The folders of one drive: the open folder's ancestors from the root down,
// each indented one level more than the one above, the open folder last of
// them, then its subfolders one level further in. A double-click, or Enter,
// opens a folder; a single click only highlights it.
class DirListBox : public QListWidget {
  Q_OBJECT

 public:
  // What setPath gives back.
  static constexpr int NoError = 0;
  static constexpr int DeviceUnavailable = 68;
  static constexpr int PathNotFound = 76;

  // Item data: the folder an entry stands for, its indentation level, and
  // whether it is the open folder or one of its ancestors.
  static constexpr int FolderRole = Qt::UserRole;
  static constexpr int LevelRole = Qt::UserRole + 1;
  static constexpr int OpenRole = Qt::UserRole + 2;

  explicit DirListBox(QWidget* parent = nullptr);

  // The open folder.
  QString Path() const { return path_; }
  // Opens a folder and lists it; on an error the list stays as it was.
  int setPath(const QString& path);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void openEntry(QListWidgetItem* item);
  void fill();

  QString path_;
};

// The drives of the system. A drive is picked with the mouse, the arrow
// keys or its letter; every change of the selection, by the user or by the
// program, emits currentIndexChanged.
class DriveListBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveListBox(QWidget* parent = nullptr);

  // The selected drive.
  QString Drive() const;
  // Selects the drive that path lies on.
  void setDrive(const QString& path);

  // Called with the character code of each typed character (27 for Esc)
  // before the list acts on it; setting KeyAscii to 0 drops it.
  std::function<void(int& KeyAscii)> KeyPress;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The modal window in which the user picks the source or target folder. It
// starts at PickerFolder and, after "&Ok", leaves the chosen folder there;
// every other way of closing it leaves PickerFolder as it stands.
class frmFileBox : public Form {
  Q_OBJECT

 public:
  frmFileBox();

  void Form_Load() override;
  void Drive1_Change();
  void Drive1_KeyPress(int& KeyAscii);
  void cmdDone_Click();
  void cmdCancel_Click();

  DirListBox* Dir1 = nullptr;
  DriveListBox* Drive1 = nullptr;
  QPushButton* cmdDone = nullptr;
  QPushButton* cmdCancel = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;

 private:
  int openStartFolder();
};

namespace Forms {
inline FormSlot<::frmFileBox> frmFileBox;
}
