#include "ui/frmProcess.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "engine/Lib_Convert.h"
#include "settings/modGlobals.h"
#include "ui/Controls.h"
#include "ui/Toolkit.h"
#include "ui/frm_Main.h"

namespace {

// The window is laid out in twips, 1/1440 inch: 15 to a pixel at 96 DPI.
// Qt scales pixels for other screen densities.
QRect twips(int left, int top, int width, int height) {
  return {left / 15, top / 15, width / 15, height / 15};
}

// About one frame of the screen: the window shows a new count no more often.
constexpr qint64 PaintMilliseconds = 16;

}  // namespace

frmProcess::frmProcess() : Form(Forms::frm_Main.loaded()) {
  setUpDialogFrame("frmProcess", QStringLiteral("Processing Files"));
  setFixedSize(twips(0, 0, 4680, 2295).size());

  lblInfo = new QLabel(this);
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  lblInfo->setGeometry(twips(120, 120, 4335, 255));

  lblFilename = new QLabel(this);
  lblFilename->setObjectName(QStringLiteral("lblFilename"));
  // A name is text, never markup: a file called "<b>x.bin" shows as such.
  lblFilename->setTextFormat(Qt::PlainText);
  lblFilename->setGeometry(twips(120, 480, 4455, 255));

  Frame2 = new QGroupBox(QStringLiteral("Conversion Progress"), this);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  Frame2->setGeometry(twips(120, 840, 4455, 735));

  // The bar lies across the frame; its position is the window's.
  pbOverall = new QProgressBar(this);
  pbOverall->setObjectName(QStringLiteral("pbOverall"));
  pbOverall->setGeometry(twips(240, 1080, 4215, 375));
  pbOverall->setTextVisible(false);
  pbOverall->setRange(0, 100);
  pbOverall->setValue(0);

  cmdCancel = CommandButton("cmdCancel", QStringLiteral("&Cancel"), this);
  cmdCancel->setGeometry(twips(1800, 1680, 1215, 495));
  connect(cmdCancel, &QPushButton::clicked, this, &frmProcess::cmdCancel_Click);
}

void frmProcess::StripFiles() {
  // A confirmed stop closes this window while the run still needs it.
  HoldDeletion();
  pbOverall->setMaximum(FileCount);
  ConvertedCount = 0;
  SkippedCount = 0;
  sincePainted_.invalidate();
  // The image list tells of each file what this run read of it: the file may
  // have changed since the list last looked. The CRC-32s of its banks are
  // left to the look after the run, as they would cost the run a third more.
  BatchRun run(*this, {.findings = Findings::Dropped, .stated = Forms::frm_Main->Stated});
  run_ = &run;
  run.Go();
  run_ = nullptr;
  Processing = false;
  Unload();
  ReleaseDeletion();
}

Toolkit::Answer frmProcess::MsgBox(const Toolkit::Message& message) {
  paintProgress();
  return Toolkit::MsgBox(message.prompt, message.buttons, message.icon, message.title);
}

void frmProcess::ShowProgress(int fileIndex, int fileCount, const QString& sourcePath) {
  progress_ = {fileIndex, fileCount, sourcePath};
  progressShown_ = false;
  if (!sincePainted_.isValid() || sincePainted_.hasExpired(PaintMilliseconds)) paintProgress();
}

void frmProcess::paintProgress() {
  if (progressShown_) return;
  lblInfo->setText(QStringLiteral("Processing %1 files. %2 files are remaining.")
                       .arg(progress_.fileCount)
                       .arg(progress_.fileCount - progress_.fileIndex));
  fitInfo();
  pbOverall->setValue(progress_.fileIndex);
  lblFilename->setText(Lib_Convert::ShownText(progress_.sourcePath));
  progressShown_ = true;
  sincePainted_.start();
}

void frmProcess::fitInfo() {
  // Five-digit counts make the text longer than the label was drawn for. The
  // label grows to show it whole, and the window widens by as much, keeping
  // its margin; neither shrinks, so nothing twitches as the count falls.
  const QSize needed = lblInfo->sizeHint().expandedTo(lblInfo->size());
  const int wider = needed.width() - lblInfo->width();
  lblInfo->resize(needed);
  if (wider > 0) setFixedWidth(width() + wider);
}

void frmProcess::EventPoint() {
  Toolkit::DoEvents();
}

void frmProcess::FileDone(const FileReport& report) {
  if (alsoTell) alsoTell->FileDone(report);
}

void frmProcess::CountsChanged(const RunTotals& totals) {
  ConvertedCount = totals.converted;
  SkippedCount = totals.skipped;
  if (alsoTell) alsoTell->CountsChanged(totals);
}

void frmProcess::PassedOver(const NativeFile::FolderEntry& entry) {
  if (alsoTell) alsoTell->PassedOver(entry);
}

void frmProcess::Form_Load() {
  Processing = true;
  CancelRequested = false;
  Toolkit::DoEvents();
}

void frmProcess::cmdCancel_Click() {
  Unload();
}

void frmProcess::Form_Unload(int& Cancel) {
  if (!Processing) return;
  // Nothing the run has finished waits on the answer.
  if (run_) run_->PlaceWrittenTargets();
  paintProgress();
  const auto answer = Toolkit::MsgBox(QStringLiteral("Are you sure you would like to cancel?"),
                                      Toolkit::Buttons::YesNo, Toolkit::Icon::None,
                                      QStringLiteral("Cancel Operation?"));
  if (answer == Toolkit::Answer::Yes) {
    CancelRequested = true;
  } else {
    Cancel = 2;
  }
}
