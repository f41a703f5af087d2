#include "ui/frmFormat.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/Presets.h"
#include "ui/Controls.h"
#include "ui/frmOptions.h"

frmFormat::frmFormat() {
  setUpDialogFrame("frmFormat", QStringLiteral("Select Output Format"));

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  for (int i = 0; i < static_cast<int>(OutputPresets.size()); ++i) {
    auto* button = CommandButton("cmdSelection", QString::fromLatin1(OutputPresets[i].caption));
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
  // As the close box: nothing is applied.
  closeOnEscape([this] { Unload(); });
}

void frmFormat::cmdSelection_Click(int Index) {
  if (Index >= 0 && Index < static_cast<int>(OutputPresets.size())) {
    const OutputPreset& preset = OutputPresets[Index];
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
