#include "ui/frm_Main.h"

#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "batch/FileListBox.h"
#include "batch/ImageList.h"
#include "engine/Lib_Convert.h"
#include "engine/NativeFile.h"
#include "settings/AppIdentity.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "ui/Controls.h"
#include "ui/Drives.h"
#include "ui/Toolkit.h"
#include "ui/frmFileBox.h"
#include "ui/frmImages.h"
#include "ui/frmOptions.h"
#include "ui/frmProcess.h"

using Toolkit::Buttons;
using Toolkit::Icon;
using Toolkit::LineBreak;
using Toolkit::MsgBox;

namespace {

QGroupBox* frame(const char* name, const QString& caption, QWidget* content) {
  auto* box = new QGroupBox(caption);
  box->setObjectName(QString::fromLatin1(name));
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(content);
  return box;
}

FolderBox* folderField(const char* name) {
  auto* field = new FolderBox;
  field->setObjectName(QString::fromLatin1(name));
  field->setToolTip(QStringLiteral("Double-Click to select folder"));
  field->setMinimumWidth(300);
  return field;
}

TextBox* extensionField(const char* name) {
  auto* field = new TextBox;
  field->setObjectName(QString::fromLatin1(name));
  field->setText(QStringLiteral(".BIN"));
  field->setAlignment(Qt::AlignCenter);
  field->setFixedWidth(80);
  return field;
}

}  // namespace

frm_Main::frm_Main() {
  setObjectName(QStringLiteral("frm_Main"));
  setWindowTitle(QStringLiteral("Quillet"));

  txtSource = folderField("txtSource");
  txtSourceExt = extensionField("txtSourceExt");
  txtTarget = folderField("txtTarget");
  txtTargetExt = extensionField("txtTargetExt");
  cmdOptions = CommandButton("cmdOptions", QStringLiteral("&Options"));
  cmdStrip = CommandButton("cmdStrip", QStringLiteral("&Reorder"));
  cmdExit = CommandButton("cmdExit", QStringLiteral("E&xit"));
  cmdImages = CommandButton("cmdImages", QStringLiteral("&Images"));
  cmdImages->setToolTip(QStringLiteral("What each file is, and what a run does with it"));
  File1 = new FileListBox(this);
  File1->setObjectName(QStringLiteral("File1"));
  Images = new ImageListModel(this);
  Images->setObjectName(QStringLiteral("Images"));

  Frame1 = frame("Frame1", QStringLiteral("Source Folder:"), txtSource);
  Frame3 = frame("Frame3", QStringLiteral("Extension"), txtSourceExt);
  Frame2 = frame("Frame2", QStringLiteral("Target Folder:"), txtTarget);
  Frame4 = frame("Frame4", QStringLiteral("Extension"), txtTargetExt);

  // Everything sits in one body, so that a run can make the whole window
  // unusable without touching each control's own enabled state.
  body_ = new QWidget(this);
  auto* grid = new QGridLayout(body_);
  grid->addWidget(Frame1, 0, 0);
  grid->addWidget(Frame3, 0, 1);
  grid->addWidget(Frame2, 1, 0);
  grid->addWidget(Frame4, 1, 1);
  // Reorder stays in the middle, with Images beside Options.
  auto* buttons = new QGridLayout;
  auto* left = new QHBoxLayout;
  left->addWidget(cmdOptions);
  left->addWidget(cmdImages);
  left->addStretch();
  buttons->addLayout(left, 0, 0);
  buttons->addWidget(cmdStrip, 0, 1);
  buttons->addWidget(cmdExit, 0, 2, Qt::AlignRight);
  buttons->setColumnStretch(0, 1);
  buttons->setColumnStretch(2, 1);
  grid->addLayout(buttons, 2, 0, 1, 2);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(body_);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(txtSource, txtSourceExt);
  setTabOrder(txtSourceExt, txtTarget);
  setTabOrder(txtTarget, txtTargetExt);
  setTabOrder(txtTargetExt, cmdOptions);
  setTabOrder(cmdOptions, cmdImages);
  setTabOrder(cmdImages, cmdStrip);
  setTabOrder(cmdStrip, cmdExit);

  connect(txtSource, &QLineEdit::textChanged, this, &frm_Main::txtSource_Change);
  connect(txtTarget, &QLineEdit::textChanged, this, &frm_Main::txtTarget_Change);
  connect(txtSource, &TextBox::doubleClicked, this, &frm_Main::txtSource_DblClick);
  connect(txtTarget, &TextBox::doubleClicked, this, &frm_Main::txtTarget_DblClick);
  connect(txtSource, &FolderBox::pickerKeyPressed, this, &frm_Main::txtSource_DblClick);
  connect(txtTarget, &FolderBox::pickerKeyPressed, this, &frm_Main::txtTarget_DblClick);
  connect(txtSource, &FolderBox::folderDropped, this, &frm_Main::txtSource_OLEDragDrop);
  connect(txtTarget, &FolderBox::folderDropped, this, &frm_Main::txtTarget_OLEDragDrop);
  connect(txtSourceExt, &TextBox::lostFocus, this, &frm_Main::txtSourceExt_LostFocus);
  connect(txtTargetExt, &TextBox::lostFocus, this, &frm_Main::txtTargetExt_LostFocus);
  connect(cmdStrip, &QPushButton::clicked, this, &frm_Main::cmdStrip_Click);
  connect(cmdOptions, &QPushButton::clicked, this, &frm_Main::cmdOptions_Click);
  connect(cmdExit, &QPushButton::clicked, this, &frm_Main::cmdExit_Click);
  connect(cmdImages, &QPushButton::clicked, this, &frm_Main::cmdImages_Click);
}

void frm_Main::Form_Load() {
  setWindowTitle(AppCaption());
  cmdStrip->setEnabled(false);
  LoadSettings();
  txtSource->SetFolder(ConversionSettings.Source);
  txtTarget->SetFolder(ConversionSettings.Target);
  txtSourceExt->setText(ConversionSettings.SourceExt);
  txtTargetExt->setText(ConversionSettings.TargetExt);
}

void frm_Main::applyEnablingRule() {
  cmdStrip->setEnabled(!txtSource->text().isEmpty() && !txtTarget->text().isEmpty());
}

void frm_Main::txtSource_Change() {
  applyEnablingRule();
}
void frm_Main::txtTarget_Change() {
  applyEnablingRule();
}

void frm_Main::pickFolder(const QString& caption, FolderBox* field, QString* setting) {
  if (Processing) return;
  PickerFolder = field->Folder();
  PickerCaption = caption;
  Forms::frmFileBox->Show(ShowMode::Modal);
  takePickerFolder(field, setting);
}

void frm_Main::dropFolder(const QString& folder, FolderBox* field, QString* setting) {
  if (Processing) return;
  // A dropped folder is taken in the form the picker hands a folder back.
  PickerFolder = Drives::Absolute(folder);
  takePickerFolder(field, setting);
}

void frm_Main::takePickerFolder(FolderBox* field, QString* setting) {
  PickerFolder = NativeFile::WithSeparator(PickerFolder);
  field->SetFolder(PickerFolder);
  *setting = PickerFolder;
}

void frm_Main::txtSource_DblClick() {
  pickFolder(QStringLiteral("Source "), txtSource, &ConversionSettings.Source);
}

void frm_Main::txtTarget_DblClick() {
  pickFolder(QStringLiteral("Target "), txtTarget, &ConversionSettings.Target);
}

void frm_Main::txtSource_OLEDragDrop(const QString& folder) {
  dropFolder(folder, txtSource, &ConversionSettings.Source);
}

void frm_Main::txtTarget_OLEDragDrop(const QString& folder) {
  dropFolder(folder, txtTarget, &ConversionSettings.Target);
}

void frm_Main::normaliseExtension(TextBox* field, QString* setting) {
  if (!field->text().startsWith(u'.')) field->setText(u'.' + field->text());
  *setting = field->text();
}

void frm_Main::txtSourceExt_LostFocus() {
  normaliseExtension(txtSourceExt, &ConversionSettings.SourceExt);
}

void frm_Main::txtTargetExt_LostFocus() {
  normaliseExtension(txtTargetExt, &ConversionSettings.TargetExt);
}

void frm_Main::cmdStrip_Click() {
  if (Processing) return;
  if (auto refusal = ListSourceFiles(*File1, txtSource->Folder(), txtSourceExt->text())) {
    MsgBox(refusal->prompt, refusal->buttons, refusal->icon, refusal->title);
    return;
  }

  setRunning(true);
  frmImages* images = Forms::frmImages.loaded();
  if (images) images->RunStarting();
  Images->RunStarted(FileList);
  ImageListFeed feed(Images, ImageListModel::Kind::Outcome);
  frmProcess* process = Forms::frmProcess.get();
  process->alsoTell = &feed;
  process->Show();
  process->StripFiles();
  feed.Flush();
  Images->RunEnded();
  setRunning(false);
  if ((images = Forms::frmImages.loaded())) images->RunEnded();
}

void frm_Main::cmdImages_Click() {
  if (Processing) return;
  Forms::frmImages->Show();
}

void frm_Main::setRunning(bool running) {
  // Nothing may start a second run, pick a folder, change the options or
  // close this window under a run.
  body_->setEnabled(!running);
  if (frmOptions* options = Forms::frmOptions.loaded()) options->setEnabled(!running);
}

void frm_Main::cmdOptions_Click() {
  if (Processing) return;
  Forms::frmOptions->Show();
}

void frm_Main::cmdExit_Click() {
  Unload();
}

void frm_Main::Form_Unload(int& Cancel) {
  if (Processing) {
    // The run is stopped through its own window, which is brought forward.
    Cancel = 1;
    if (frmProcess* process = Forms::frmProcess.loaded()) process->Show();
    return;
  }
  ConversionSettings.Source = txtSource->Folder();
  ConversionSettings.Target = txtTarget->Folder();
  ConversionSettings.SourceExt = txtSourceExt->text();
  ConversionSettings.TargetExt = txtTargetExt->text();
  // Closing goes ahead either way; the user at least learns that this
  // session's choices will not be there next time.
  if (!SaveSettings()) {
    // A store that is not the program's own says why it was left alone.
    const QString why = SettingsProblem();
    MsgBox(QStringLiteral("The settings could not be saved to:") + LineBreak +
               Lib_Convert::ShownText(SettingsLocation()) +
               (why.isEmpty() ? QString() : LineBreak + why) + LineBreak +
               QStringLiteral("Changes made in this session are lost."),
           Buttons::OK, Icon::Exclamation, QStringLiteral("Settings Error"));
  }
}
