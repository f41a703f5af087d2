#include "ui/frmFileBox.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/Lib_Convert.h"
#include "settings/modGlobals.h"
#include "ui/Controls.h"
#include "ui/Drives.h"
#include "ui/Toolkit.h"
#include "ui/frm_Main.h"

using Toolkit::Buttons;
using Toolkit::Icon;
using Toolkit::LineBreak;
using Toolkit::MsgBox;

namespace {

// Draws each folder of the directory list shifted right by its level, so
// that the list reads as the path from the root down to the subfolders.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + indent(index));
    QStyledItemDelegate::paint(painter, shifted, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
  }

 private:
  static constexpr int Step = 12;
  static int indent(const QModelIndex& index) {
    return index.data(DirListBox::LevelRole).toInt() * Step;
  }
};

QLabel* boldLabel(const char* name, const QString& caption) {
  auto* label = new QLabel(caption);
  label->setObjectName(QString::fromLatin1(name));
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new IndentDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::openEntry);
}

int DirListBox::setPath(const QString& path) {
  if (path.isEmpty()) return PathNotFound;
  const QString folder = Drives::Absolute(path);
  // The volume is asked first: a folder on a volume that cannot be reached
  // is not a folder that does not exist.
  if (!Drives::Ready(Drives::DriveOf(folder))) return DeviceUnavailable;
  if (!QFileInfo(folder).isDir()) return PathNotFound;
  path_ = folder;
  fill();
  return NoError;
}

void DirListBox::openEntry(QListWidgetItem* item) {
  if (!item) return;
  // A folder that has gone since it was listed is dropped from the list.
  if (setPath(item->data(FolderRole).toString()) != NoError) fill();
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
    openEntry(currentItem());
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void DirListBox::fill() {
  clear();
  QStringList chain;
  QDir dir(path_);
  do {
    chain.prepend(dir.absolutePath());
  } while (dir.cdUp());

  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  const auto add = [this](const QIcon& icon, const QString& text, const QString& folder, int level,
                          bool open) {
    // The entry shows the name escaped; the folder it opens is kept whole.
    auto* entry = new QListWidgetItem(icon, Lib_Convert::ShownText(text), this);
    entry->setData(FolderRole, QDir::toNativeSeparators(folder));
    entry->setData(LevelRole, level);
    entry->setData(OpenRole, open);
    return entry;
  };

  QListWidgetItem* openRow = nullptr;
  for (int level = 0; level < chain.size(); ++level) {
    const QString& folder = chain[level];
    const QString text =
        level == 0 ? QDir::toNativeSeparators(folder) : QFileInfo(folder).fileName();
    openRow = add(openIcon, text, folder, level, true);
  }
  const QFileInfoList subfolders =
      QDir(path_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& subfolder : subfolders) {
    add(closedIcon, subfolder.fileName(), subfolder.absoluteFilePath(), chain.size(), false);
  }
  setCurrentItem(openRow);
  scrollToItem(openRow);
}

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
  for (const Drives::Volume& volume : Drives::List()) {
    const QString text = volume.label.isEmpty()
                             ? volume.drive
                             : QStringLiteral("%1 [%2]").arg(volume.drive, volume.label);
    addItem(Lib_Convert::ShownText(text), volume.drive);
  }
}

QString DriveListBox::Drive() const {
  return currentData().toString();
}

void DriveListBox::setDrive(const QString& path) {
  const int index = findData(Drives::DriveOf(path));
  if (index >= 0) setCurrentIndex(index);
}

void DriveListBox::keyPressEvent(QKeyEvent* event) {
  int code = -1;
  if (event->key() == Qt::Key_Escape) {
    code = 27;
  } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    code = 13;
  } else if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
             event->text().size() == 1 && event->text()[0].isPrint()) {
    code = event->text()[0].unicode();
  }
  if (KeyPress && code >= 0) {
    int KeyAscii = code;
    KeyPress(KeyAscii);
    if (KeyAscii == 0) {
      event->accept();
      return;
    }
  }
  QComboBox::keyPressEvent(event);
}

frmFileBox::frmFileBox() : Form(Forms::frm_Main.loaded()) {
  setUpDialogFrame("frmFileBox", QStringLiteral("Select Folder"));

  Label3 = boldLabel("Label3", QStringLiteral("Folders:"));
  Label4 = boldLabel("Label4", QStringLiteral("Drives:"));
  Dir1 = new DirListBox;
  Dir1->setObjectName(QStringLiteral("Dir1"));
  Dir1->setFixedSize(260, 220);
  Drive1 = new DriveListBox;
  Drive1->setObjectName(QStringLiteral("Drive1"));
  Drive1->setFixedWidth(260);
  cmdDone = CommandButton("cmdDone", QStringLiteral("&Ok"));
  cmdCancel = CommandButton("cmdCancel", QStringLiteral("&Cancel"));

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(cmdDone);
  buttons->addWidget(cmdCancel);
  buttons->addStretch();
  auto* grid = new QGridLayout(this);
  grid->addWidget(Label3, 0, 0);
  grid->addWidget(Dir1, 1, 0);
  grid->addWidget(Label4, 2, 0);
  grid->addWidget(Drive1, 3, 0);
  grid->addLayout(buttons, 1, 1, 3, 1);
  grid->setHorizontalSpacing(12);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(Dir1, Drive1);
  setTabOrder(Drive1, cmdDone);
  setTabOrder(cmdDone, cmdCancel);

  // Until loading opens the start folder, the lists stand where the program
  // was started.
  Dir1->setPath(QDir::currentPath());
  Drive1->setDrive(Dir1->Path());

  connect(Drive1, &QComboBox::currentIndexChanged, this, &frmFileBox::Drive1_Change);
  Drive1->KeyPress = [this](int& KeyAscii) { Drive1_KeyPress(KeyAscii); };
  connect(cmdDone, &QPushButton::clicked, this, &frmFileBox::cmdDone_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmFileBox::cmdCancel_Click);
}

void frmFileBox::Form_Load() {
  setWindowTitle(QStringLiteral("Select ") + PickerCaption + QStringLiteral("Folder"));
  // The fallback replaces PickerFolder itself, so that a Cancel hands it
  // back; it is tried once, and if it fails too the lists stay where they
  // stand.
  switch (openStartFolder()) {
    case DirListBox::PathNotFound:
      PickerFolder = Drives::Fallback();
      openStartFolder();
      break;
    case DirListBox::DeviceUnavailable:
      MsgBox(QStringLiteral("Current drive is unavailable.") + LineBreak +
                 QStringLiteral("Selecting default of ") + Drives::Fallback(),
             Buttons::OK, Icon::Critical, QStringLiteral("Drive unavailable"));
      PickerFolder = Drives::Fallback();
      openStartFolder();
      break;
    default: break;
  }
}

int frmFileBox::openStartFolder() {
  const int error = Dir1->setPath(PickerFolder);
  if (error != DirListBox::NoError) return error;
  // Selecting the start folder's drive must not move the directory list to
  // that drive's current folder.
  const QSignalBlocker quiet(Drive1);
  Drive1->setDrive(Dir1->Path());
  return error;
}

void frmFileBox::Drive1_Change() {
  const QString drive = Drives::Capitalised(Drive1->Drive());
  if (Dir1->setPath(Drives::CurrentFolder(drive)) == DirListBox::DeviceUnavailable) {
    MsgBox(QStringLiteral("Drive ") + drive + LineBreak + QStringLiteral("Not ready..."),
           Buttons::OK, Icon::Exclamation, QStringLiteral("Drive Not Ready"));
  }
}

void frmFileBox::Drive1_KeyPress(int& KeyAscii) {
  if (KeyAscii != 27) return;
  KeyAscii = 0;
  cmdCancel_Click();
}

void frmFileBox::cmdDone_Click() {
  PickerFolder = Dir1->Path();
  Unload();
}

void frmFileBox::cmdCancel_Click() {
  Unload();
}
