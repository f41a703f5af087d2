#include "ui/frmReadAs.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

#include "batch/ImageWords.h"
#include "engine/ImageAssembly.h"
#include "engine/Lib_Convert.h"
#include "engine/Lib_File.h"
#include "ui/Controls.h"
#include "ui/LayoutStrip.h"
#include "ui/Toolkit.h"
#include "ui/frm_Main.h"

// The strip of the image as the stated layout reads it.
class LayoutPreview : public QWidget {
 public:
  using QWidget::QWidget;

  void SetReading(const ImageReading& reading) {
    reading_ = reading;
    update();
  }

  QSize sizeHint() const override {
    return {fontMetrics().horizontalAdvance(QLatin1Char('0')) * 48, fontMetrics().height() + 8};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (reading_.slots.isEmpty()) return;
    QPainter painter(this);
    // The lower half of the strip would be the output; only the slots show.
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, 0);
    PaintLayoutStrip(&painter, area.adjusted(0, 0, 0, area.height()), palette(), reading_, nullptr,
                     std::nullopt);
  }

 private:
  ImageReading reading_;
};

using Toolkit::Buttons;
using Toolkit::Icon;

frmReadAs::frmReadAs() {
  setUpDialogFrame("frmReadAs", QStringLiteral("Read As"));

  lblImage = new QLabel(this);
  lblImage->setObjectName(QStringLiteral("lblImage"));
  lblImage->setTextFormat(Qt::PlainText);
  Label1 = new QLabel(QStringLiteral("&Banks in file order:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  txtInputOrder = new TextBox(this);
  txtInputOrder->setObjectName(QStringLiteral("txtInputOrder"));
  txtInputOrder->setAccessibleName(QStringLiteral("Banks in file order"));
  txtInputOrder->setTypingLimit(7);
  txtInputOrder->setToolTip(
      QStringLiteral("The banks 0, 1, 8 and 9 in the order they stand in the file, e.g. 1,8,0,9"));
  txtInputOrder->setFixedWidth(txtInputOrder->fontMetrics().horizontalAdvance(u"0,0,0,0WW"_qs));
  Label1->setBuddy(txtInputOrder);

  auto* padding = new QGroupBox(QStringLiteral("Fill in each slot"), this);
  padding->setObjectName(QStringLiteral("fraInputPad"));
  optInputPad[0] = new QRadioButton(QStringLiteral("R&ear"), padding);
  optInputPad[1] = new QRadioButton(QStringLiteral("&Front"), padding);
  auto* padLayout = new QHBoxLayout(padding);
  for (int i = 0; i < 2; ++i) {
    optInputPad[i]->setObjectName(QStringLiteral("optInputPad"));
    optInputPad[i]->setProperty("index", i);
    padLayout->addWidget(optInputPad[i]);
  }
  padLayout->addStretch();

  picLayout = new LayoutPreview(this);
  picLayout->setObjectName(QStringLiteral("picLayout"));
  picLayout->setAccessibleName(QStringLiteral("Slots as stated"));
  lblReading = new QLabel(this);
  lblReading->setObjectName(QStringLiteral("lblReading"));
  lblReading->setWordWrap(true);
  lblReading->setTextFormat(Qt::PlainText);
  chkSameLength = new QCheckBox(this);
  chkSameLength->setObjectName(QStringLiteral("chkSameLength"));

  cmdOK = CommandButton("cmdOK", QStringLiteral("&Ok"), this);
  cmdCancel = CommandButton("cmdCancel", QStringLiteral("&Cancel"), this);
  cmdOK->setDefault(true);

  auto* orderRow = new QHBoxLayout;
  orderRow->addWidget(Label1);
  orderRow->addWidget(txtInputOrder);
  orderRow->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblImage);
  layout->addLayout(orderRow);
  layout->addWidget(padding);
  layout->addWidget(picLayout);
  layout->addWidget(lblReading);
  layout->addWidget(chkSameLength);
  layout->addLayout(buttons);

  setTabOrder(txtInputOrder, optInputPad[0]);
  setTabOrder(optInputPad[0], optInputPad[1]);
  setTabOrder(optInputPad[1], chkSameLength);
  setTabOrder(chkSameLength, cmdOK);
  setTabOrder(cmdOK, cmdCancel);

  connect(txtInputOrder, &QLineEdit::textChanged, this, &frmReadAs::txtInputOrder_Change);
  // Enter in the order box is Ok, as the button that looks the default says.
  txtInputOrder->KeyPress = [this](int& KeyAscii) {
    constexpr int Enter = 13;
    if (KeyAscii != Enter) return;
    KeyAscii = 0;
    if (cmdOK->isEnabled()) cmdOK_Click();
  };
  for (QRadioButton* option : optInputPad) {
    connect(option, &QRadioButton::toggled, this, &frmReadAs::txtInputOrder_Change);
  }
  TabToChosenOption({optInputPad.begin(), optInputPad.end()});
  auto* escape = new QAction(this);
  escape->setShortcut(Qt::Key_Escape);
  addAction(escape);
  connect(escape, &QAction::triggered, this, &frmReadAs::cmdCancel_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmReadAs::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmReadAs::cmdCancel_Click);
}

bool frmReadAs::Begin(const QString& name, const QString& path, const StatedLayout* stated) {
  qint64 length = -1;
  if (!Lib_File::ReadWhole(path, IsFourBankLength, &image_, &length) || image_.size() != length ||
      !IsFourBankLength(length)) {
    return false;
  }
  name_ = name;
  const ImageReading marks = ConvertFile(image_);
  const QString lengthClass = LengthClassName(image_.size());
  lblImage->setText(
      Lib_Convert::ShownText(name) + QStringLiteral(": ") + lengthClass + QStringLiteral(", ") +
      (marks.recognised() ? QStringLiteral("read by its marks") : ImageWords::RefusalText(marks)));
  lblImage->setWordWrap(true);
  chkSameLength->setText(QStringLiteral("&Every %1 image the marks cannot tell").arg(lengthClass));
  const bool padded = image_.size() == Length256K;
  optInputPad[0]->parentWidget()->setEnabled(padded);
  const qint64 pad = stated && stated->PadOffset ? *stated->PadOffset : marks.PadOffset;
  optInputPad[pad == Size8K ? 1 : 0]->setChecked(true);
  txtInputOrder->setText(ImageWords::OrderText(stated ? stated->order : SlotNames));
  txtInputOrder->selectAll();
  txtInputOrder_Change();
  return true;
}

std::optional<StatedLayout> frmReadAs::stated() const {
  const auto order = CheckBankOrder(txtInputOrder->text(), true);
  if (!order) return std::nullopt;
  StatedLayout layout{*order, {}};
  if (image_.size() == Length256K) layout.PadOffset = optInputPad[1]->isChecked() ? Size8K : 0;
  return layout;
}

void frmReadAs::txtInputOrder_Change() {
  const auto layout = stated();
  cmdOK->setEnabled(layout.has_value());
  if (!layout) {
    picLayout->SetReading({});
    lblReading->setText(QStringLiteral("Give the banks 0, 1, 8 and 9 in file order, each once."));
    return;
  }
  const ImageReading reading = ConvertFile(image_, &*layout);
  picLayout->SetReading(reading);
  QStringList slots;
  for (const SlotReading& s : reading.slots) {
    slots.append(QStringLiteral("slot %1: bank %2, %3")
                     .arg(s.slot)
                     .arg(s.bank)
                     .arg(ImageWords::SizeText(s.length)));
  }
  lblReading->setText(slots.join(QStringLiteral("; ")));
}

void frmReadAs::cmdOK_Click() {
  const auto layout = stated();
  if (!layout) return;
  StatedLayouts& all = Forms::frm_Main->Stated;
  if (chkSameLength->isChecked()) {
    all.byName.remove(name_);
    all.byLength.insert(image_.size(), *layout);
  } else {
    all.byName.insert(name_, *layout);
  }
  Unload();
}

void frmReadAs::cmdCancel_Click() {
  Unload();
}
