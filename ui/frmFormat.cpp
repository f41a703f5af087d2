#include "ui/frmFormat.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/modGlobals.h"
#include "ui/Controls.h"
#include "ui/frmOptions.h"

namespace {

struct Preset {
  const char* caption;
  bool limit32K;
  bool bank1Only;
  int padSize;
  int padType;
  const char* order;
};

// 224K and 256K are four banks padded to 56K and to 64K.
constexpr std::array<Preset, 5> Presets{{
    {"Standard Bank Order - 0, 1, 8, 9 (No Padding)", false, false, NoPadding, RearPadding,
     "0,1,8,9"},
    {"Ford xDS Bank Order - 0, 1, 9, 8 (No Padding)", false, false, NoPadding, RearPadding,
     "0,1,9,8"},
    {"TS-Perf Bank Order - 8, 1, 0, 9 (224K Rear Padding)", false, false, Padding56K, RearPadding,
     "8,1,0,9"},
    {"Moates Bank Order - 0, 1, 8, 9 (256K Front Padding)", false, false, Padding64K, FrontPadding,
     "0,1,8,9"},
    {"Bank 1 Only (Limit to 32K)", true, true, NoPadding, RearPadding, "0,1,8,9"},
}};

}  // namespace

frmFormat::frmFormat() {
  setUpDialogFrame("frmFormat", QStringLiteral("Select Output Format"));

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  for (int i = 0; i < static_cast<int>(Presets.size()); ++i) {
    auto* button = CommandButton("cmdSelection", QString::fromLatin1(Presets[i].caption));
    button->setProperty("index", i);
    button->setMinimumHeight(32);
    layout->addWidget(button);
    cmdSelection[i] = button;
    connect(button, &QPushButton::clicked, this, [this, i] { cmdSelection_Click(i); });
    if (i > 0) setTabOrder(cmdSelection[i - 1], button);
  }
  // Room around the longest caption, so no button looks crammed.
  int widest = 0;
  for (auto* button : cmdSelection) widest = std::max(widest, button->sizeHint().width());
  for (auto* button : cmdSelection) button->setMinimumWidth(widest + 40);
}

void frmFormat::cmdSelection_Click(int Index) {
  if (Index >= 0 && Index < static_cast<int>(Presets.size())) {
    const Preset& preset = Presets[Index];
    // The options window reacts to each change as to a click. The 32K limit
    // goes first, so that "Bank 1 Only" then decides whether it is usable.
    frmOptions* options = Forms::frmOptions.get();
    options->chkLimit32K->setChecked(preset.limit32K);
    options->chkBank1->setChecked(preset.bank1Only);
    options->optPadSize[preset.padSize]->setChecked(true);
    options->optPadType[preset.padType]->setChecked(true);
    options->txtOutputOrder->setText(QString::fromLatin1(preset.order));
  }
  Unload();
}
