#include "ui/frmOptions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "engine/ImageAssembly.h"
#include "settings/modGlobals.h"
#include "ui/Controls.h"
#include "ui/SystemColors.h"
#include "ui/Toolkit.h"
#include "ui/frmFormat.h"

using Toolkit::Buttons;
using Toolkit::Icon;
using Toolkit::MsgBox;

namespace {

const QString PadValueTip =
    QStringLiteral("This is the padding value. (Recommend FF as the value.)");

QGroupBox* frame(const char* name, const QString& caption) {
  auto* box = new QGroupBox(caption);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

// An option array stacked in its frame; returns the frame's layout so that
// more controls can follow the options.
template <std::size_t N>
QVBoxLayout* optionArray(std::array<QRadioButton*, N>& array, const char* name, QGroupBox* box,
                         const std::array<QString, N>& captions,
                         const std::array<QString, N>& tips) {
  auto* layout = new QVBoxLayout(box);
  for (std::size_t i = 0; i < N; ++i) {
    auto* option = new QRadioButton(captions[i], box);
    option->setObjectName(QString::fromLatin1(name));
    option->setProperty("index", static_cast<int>(i));
    option->setToolTip(tips[i]);
    layout->addWidget(option);
    array[i] = option;
  }
  return layout;
}

// The first selected option of a group, looked for from index 0 upward.
template <std::size_t N>
std::optional<quint8> selectedIndex(const std::array<QRadioButton*, N>& array) {
  for (std::size_t i = 0; i < N; ++i) {
    if (array[i]->isChecked()) return static_cast<quint8>(i);
  }
  return std::nullopt;
}

// A code that no option stands for is shown as the option whose meaning the
// run gives it, so that what the window shows is what a run would do.
int shownIndex(quint8 code, int count, int otherwise) {
  return code < count ? code : otherwise;
}

QCheckBox* checkBox(const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

TextBox* textBox(const char* name, int typingLimit, const QString& widest) {
  auto* box = new TextBox;
  box->setObjectName(QString::fromLatin1(name));
  box->setTypingLimit(typingLimit);
  box->setAlignment(Qt::AlignCenter);
  box->setFixedWidth(box->fontMetrics().horizontalAdvance(widest) + 20);
  return box;
}

// The background of a text box in one of the desktop's system colours; the
// index stays on the box so that the state it shows can be read back.
void setBackColour(TextBox* box, int index) {
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, SystemColors::SystemColour(index));
  box->setPalette(palette);
  box->setProperty("systemColour", index);
}

// The order text must look like "#,#,#,#": seven characters with commas
// between the four bank places. What stands in the bank places is left to
// the run to judge.
}  // namespace

frmOptions::frmOptions() {
  setUpDialogFrame("frmOptions", QStringLiteral("Select Options"));

  fraOverwrite = frame("fraOverwrite", QStringLiteral("Overwrite Options"));
  QVBoxLayout* overwriteLayout =
      optionArray<3>(optOverwrite, "optOverwrite", fraOverwrite,
                     {QStringLiteral("Never Overwrite"), QStringLiteral("Always Overwrite"),
                      QStringLiteral("Ask to Overwrite")},
                     {QStringLiteral("Never overwrite target files."),
                      QStringLiteral("Always overwrite target files."),
                      QStringLiteral("Prompt user to overwrite target files.")});
  overwriteLayout->addStretch();

  Frame1 = frame("Frame1", QStringLiteral("Output Bank Order"));
  txtOutputOrder = textBox("txtOutputOrder", 7, QStringLiteral("0,0,0,0WW"));
  chkBank1 = checkBox("chkBank1", QStringLiteral("Bank 1 Only"));
  chkLimit32K = checkBox("chkLimit32K", QStringLiteral("Limit to 32K"));
  auto* orderLayout = new QVBoxLayout(Frame1);
  orderLayout->addWidget(txtOutputOrder, 0, Qt::AlignLeft);
  orderLayout->addWidget(chkBank1);
  orderLayout->addWidget(chkLimit32K);
  orderLayout->addStretch();

  fraPadSize = frame("fraPadSize", QStringLiteral("Padding Size"));
  QVBoxLayout* padSizeLayout = optionArray<3>(
      optPadSize, "optPadSize", fraPadSize,
      {QStringLiteral("No Padding"), QStringLiteral("56K Padding"), QStringLiteral("64K Padding")},
      {QStringLiteral(
           "Ouput original banks with no padding. (This produces 2 bank files with only 2 banks.)"),
       QStringLiteral("This pads all banks to 56K. (Including unused banks on 2 bank files.)"),
       QStringLiteral("This pads all banks to 64K. (Including unused banks on 2 bank files.)")});
  padSizeLayout->addStretch();

  fraPadType = frame("fraPadType", QStringLiteral("Padding Type"));
  QVBoxLayout* padTypeLayout = optionArray<2>(
      optPadType, "optPadType", fraPadType,
      {QStringLiteral("Rear Padding"), QStringLiteral("Front Padding")},
      {QStringLiteral("This places 8K of padding at the end of each bank on 64K padded files."),
       QStringLiteral("This places 8K of padding at the front of each bank on 64K padded files.")});
  txtPadValue = textBox("txtPadValue", 2, QStringLiteral("WWW"));
  txtPadValue->setToolTip(PadValueTip);
  lblPadValue = new QLabel(QStringLiteral("Pad Value"));
  lblPadValue->setObjectName(QStringLiteral("lblPadValue"));
  lblPadValue->setToolTip(PadValueTip);
  auto* padValueRow = new QHBoxLayout;
  padValueRow->addWidget(txtPadValue);
  padValueRow->addWidget(lblPadValue);
  padValueRow->addStretch();
  padTypeLayout->addLayout(padValueRow);
  padTypeLayout->addStretch();

  cmdCancel = CommandButton("cmdCancel", QStringLiteral("&Cancel"));
  cmdOK = CommandButton("cmdOK", QStringLiteral("&Ok"));
  cmdCancel->setMinimumWidth(100);
  cmdOK->setMinimumWidth(100);

  auto* grid = new QGridLayout(this);
  grid->addWidget(fraOverwrite, 0, 0);
  grid->addWidget(fraPadSize, 0, 1);
  grid->addWidget(Frame1, 1, 0);
  grid->addWidget(fraPadType, 1, 1);
  grid->addWidget(cmdCancel, 2, 0, Qt::AlignCenter);
  grid->addWidget(cmdOK, 2, 1, Qt::AlignCenter);
  grid->setVerticalSpacing(10);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  // Both columns as wide as the wider one, so the frames line up.
  const int columnWidth =
      std::max({fraOverwrite->sizeHint().width(), Frame1->sizeHint().width(),
                fraPadSize->sizeHint().width(), fraPadType->sizeHint().width()});
  grid->setColumnMinimumWidth(0, columnWidth);
  grid->setColumnMinimumWidth(1, columnWidth);

  const std::array<QWidget*, 14> keyboardOrder{
      optOverwrite[0], optOverwrite[1], optOverwrite[2], txtOutputOrder, cmdCancel,
      cmdOK,           optPadSize[0],   optPadSize[1],   optPadSize[2],  optPadType[0],
      optPadType[1],   txtPadValue,     chkBank1,        chkLimit32K};
  for (std::size_t i = 1; i < keyboardOrder.size(); ++i) {
    setTabOrder(keyboardOrder[i - 1], keyboardOrder[i]);
  }

  setBackColour(txtOutputOrder, SystemColors::WindowBackground);
  setBackColour(txtPadValue, SystemColors::WindowBackground);

  // Values set from code run the same handlers as clicks, but only when the
  // value actually changes.
  connect(chkBank1, &QCheckBox::toggled, this, [this] { chkBank1_Click(); });
  for (int i = 0; i < static_cast<int>(optPadSize.size()); ++i) {
    connect(optPadSize[i], &QRadioButton::toggled, this, [this, i](bool checked) {
      if (checked) optPadSize_Click(i);
    });
  }
  TabToChosenOption({optOverwrite.begin(), optOverwrite.end()});
  TabToChosenOption({optPadSize.begin(), optPadSize.end()});
  TabToChosenOption({optPadType.begin(), optPadType.end()});
  txtPadValue->KeyPress = [this](int& KeyAscii) { txtPadValue_KeyPress(KeyAscii); };
  connect(txtOutputOrder, &TextBox::doubleClicked, this, &frmOptions::txtOutputOrder_DblClick);
  // The presets open from the keyboard as a drop-down list does; the box
  // takes Enter and Space as its own.
  for (const QKeySequence& key : {QKeySequence(Qt::Key_F4), QKeySequence(Qt::ALT | Qt::Key_Down)}) {
    auto* open = new QShortcut(key, txtOutputOrder);
    open->setContext(Qt::WidgetShortcut);
    connect(open, &QShortcut::activated, this, &frmOptions::txtOutputOrder_DblClick);
  }
  connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
}

void frmOptions::Form_Load() {
  const auto& s = ConversionSettings;
  txtOutputOrder->setText(s.OutOrder);
  txtPadValue->setText(s.PadValue);
  // Unknown codes: the run never overwrites, pads nothing, and takes any
  // padding type but rear as front.
  optOverwrite[shownIndex(s.Overwrite, 3, NeverOverwrite)]->setChecked(true);
  optPadSize[shownIndex(s.PadSize, 3, NoPadding)]->setChecked(true);
  optPadType[shownIndex(s.PadType, 2, FrontPadding)]->setChecked(true);
  chkBank1->setChecked(s.Bank1Only != 0);
  chkLimit32K->setChecked(s.Limit32K != 0);
  if (!chkBank1->isChecked()) chkLimit32K->setEnabled(false);
  txtOutputOrder->setToolTip(
      QStringLiteral("Must use format #,#,#,# (Commas require with no spaces). - Double-Click box "
                     "for quick options."));
}

void frmOptions::chkBank1_Click() {
  const bool bank1Only = chkBank1->isChecked();
  chkLimit32K->setEnabled(bank1Only);
  fraPadSize->setEnabled(!bank1Only);
  fraPadType->setEnabled(!bank1Only);
  for (auto* option : optPadSize) option->setEnabled(!bank1Only);
  for (auto* option : optPadType) option->setEnabled(!bank1Only);
  txtPadValue->setEnabled(!bank1Only);
  txtOutputOrder->setEnabled(!bank1Only);
  const int colour = bank1Only ? SystemColors::InactiveBorder : SystemColors::ButtonFace;
  setBackColour(txtPadValue, colour);
  setBackColour(txtOutputOrder, colour);
}

void frmOptions::optPadSize_Click(int Index) {
  // The fill byte matters for any padding, where the fill goes only for
  // 64K banks.
  fraPadType->setEnabled(Index != NoPadding);
  for (auto* option : optPadType) option->setEnabled(Index != NoPadding && Index != Padding56K);
  txtPadValue->setEnabled(Index != NoPadding);
}

void frmOptions::txtPadValue_KeyPress(int& KeyAscii) {
  constexpr int Backspace = 8;
  constexpr int Enter = 13;
  if ((KeyAscii >= '0' && KeyAscii <= '9') || (KeyAscii >= 'A' && KeyAscii <= 'F')) return;
  if (KeyAscii >= 'a' && KeyAscii <= 'f') {
    KeyAscii -= 'a' - 'A';
    return;
  }
  if (KeyAscii == Backspace) return;
  if (KeyAscii == Enter) cmdOK->setFocus(Qt::OtherFocusReason);
  KeyAscii = 0;
}

void frmOptions::txtOutputOrder_DblClick() {
  if (!txtOutputOrder->isEnabled()) return;
  setEnabled(false);
  frmFormat* presets = Forms::frmFormat.get();
  presets->Show(ShowMode::Modal);
  Toolkit::DoEvents();
  setEnabled(true);
}

void frmOptions::cmdOK_Click() {
  const QString order = txtOutputOrder->text();
  if (!CheckBankOrder(order)) {
    // With "Bank 1 Only" checked the order box cannot take the focus; the
    // check box that locks it is where the user has to go first.
    if (txtOutputOrder->isEnabled()) {
      txtOutputOrder->setFocus(Qt::OtherFocusReason);
    } else {
      chkBank1->setFocus(Qt::OtherFocusReason);
    }
    MsgBox(QStringLiteral("Invalid Bank Order format. Re-enter"), Buttons::OK, Icon::Critical,
           QStringLiteral("Format Error"));
    return;
  }

  auto& s = ConversionSettings;
  s.OutOrder = order;
  s.PadValue = (QStringLiteral("00") + txtPadValue->text()).right(2);
  if (const auto index = selectedIndex(optOverwrite)) s.Overwrite = *index;
  if (const auto index = selectedIndex(optPadType)) s.PadType = *index;
  if (const auto index = selectedIndex(optPadSize)) s.PadSize = *index;
  s.Bank1Only = chkBank1->isChecked() ? 1 : 0;
  s.Limit32K = chkLimit32K->isChecked() ? 1 : 0;
  Unload();
}

void frmOptions::cmdCancel_Click() {
  Unload();
}
