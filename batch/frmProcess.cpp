#include "batch/frmProcess.h"

#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

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

}  // namespace

frmProcess::frmProcess() : Form(Forms::frm_Main.loaded()) {
  setUpDialogFrame("frmProcess", QStringLiteral("Processing Files"));
  setFixedSize(twips(0, 0, 4680, 2295).size());

  lblInfo = new QLabel(this);
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  lblInfo->setGeometry(twips(120, 120, 4335, 255));

  lblFilename = new QLabel(this);
  lblFilename->setObjectName(QStringLiteral("lblFilename"));
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
  const auto answer = Toolkit::MsgBox(QStringLiteral("Are you sure you would like to cancel?"),
                                      Toolkit::Buttons::YesNo, Toolkit::Icon::None,
                                      QStringLiteral("Cancel Operation?"));
  if (answer == Toolkit::Answer::Yes) {
    CancelRequested = true;
  } else {
    Cancel = 2;
  }
}
