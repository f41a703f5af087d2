// The options window: enabling rules, pad value filter, order check, what Ok stores.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "ui/Controls.h"
#include "ui/frmOptions.h"

namespace {

frmOptions* open(quint8 bank1Only = 0, quint8 padSize = NoPadding) {
  ConversionSettings.Bank1Only = bank1Only;
  ConversionSettings.PadSize = padSize;
  Forms::frmOptions->Show();
  return Forms::frmOptions.get();
}

const auto click = [](QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); };

// Types the text into the box, after emptying it unless the text begins
// with "+"; null leaves the box as it opened.
void retype(TextBox* box, const char* text) {
  if (!text) return;
  if (*text == '+')
    ++text;
  else
    box->clear();
  QTest::keyClicks(box, QString::fromLatin1(text));
}

// Which controls can be used, "." where not: L "Limit to 32K", s padding sizes,
// t padding types, V pad value, O order; then both text boxes' system colour.
QString usable(frmOptions* w) {
  auto on = [](char letter, auto... c) { return (c->isEnabled() && ...) ? letter : '.'; };
  const QVariant colour = w->txtPadValue->property("systemColour");
  if (w->txtOutputOrder->property("systemColour") != colour) return QStringLiteral("?");
  return QString() + on('L', w->chkLimit32K) +
         on('s', w->optPadSize[0], w->optPadSize[1], w->optPadSize[2]) +
         on('t', w->optPadType[0], w->optPadType[1]) + on('V', w->txtPadValue) +
         on('O', w->txtOutputOrder) + ' ' + colour.toString();
}

template <class Row, std::size_t N>
void addRows(const Row (&rows)[N]) {
  QTest::addColumn<int>("row");
  for (std::size_t i = 0; i < N; ++i) QTest::newRow(rows[i].name) << int(i);
}

constexpr auto Ok = &frmOptions::cmdOK, Cancel = &frmOptions::cmdCancel;

// clang-format off
// Opened with Bank 1 Only and a padding size, then clicked: B "Bank 1 Only", 0-2 a padding size.
struct EnablingRow { const char *name, *clicks, *usable; quint8 bank1Only, padSize; };
const EnablingRow enablingRows[] = {
    {"no padding: no type, no fill", "", ".s..O 5", 0, NoPadding},
    {"56K: fill but no type", "", ".s.VO 5", 0, Padding56K},
    {"64K: type and fill", "", ".stVO 5", 0, Padding64K},
    {"bank 1 only locks the layout", "", "L.... 11", 1, Padding64K},
    {"unchecking frees it all, even with no padding", "B", ".stVO 15", 1, NoPadding},
    {"a size chosen after unchecking applies", "B1", ".s.VO 15", 1, NoPadding},
};

// Opened on a stored order "0,1,8,9,2" and pad value "ABC", longer than the boxes take; every
// other choice changed, an order and a pad value typed (\b Backspace, \r Enter) and pasted,
// then closed with a button or the close box (null); `stored` is the pad value stored.
struct CloseRow { const char *name, *order; bool bank1Only; const char *pad, *pasted; QPushButton* frmOptions::*close; const char* stored; };
const CloseRow closeRows[] = {
    {"Ok stores every choice; no hex digit is 00", "8,1,0,9", true, "Gg, x", "", Ok, "00"},
    {"lower-case hex raised, a third digit dropped", "8,1,0,9", false, "9cA", "", Ok, "9C"},
    {"Backspace deletes, Enter moves on to Ok", "8,1,0,9", false, "AB\b\r", "", Ok, "0A"},
    {"a paste is filtered as typing is, then cut to fit", "8,1,0,9", false, "", "x1f;2", Ok, "1F"},
    {"any characters in the bank places; a leading 0", "a, ,c,c", false, "7", "", Ok, "07"},
    {"Cancel discards, order unchecked", "0,1", true, "7", "", Cancel, nullptr},
    {"the close box discards", "0,1", false, "7", "", nullptr, nullptr},
    {"order too short", "0,1,8", false, "7", "", Ok, nullptr},
    {"first separator not a comma", "0.1,8,9", false, "7", "", Ok, nullptr},
    {"middle separator not a comma", "0,1 8,9", false, "7", "", Ok, nullptr},
    {"last separator not a comma", "0,1,8-9", false, "7", "", Ok, nullptr},
    {"order checked even behind Bank 1 Only", "0,1,8", true, "7", "", Ok, nullptr},
    {"a stored order too long for the box is refused whole", nullptr, false, "7", "", Ok, nullptr},
    {"a stored pad value too long for the box: no digit added, last two kept", "8,1,0,9", false, "+D", "", Ok, "BC"},
};
// clang-format on

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }
  void cleanup() {
    if (frmOptions* options = Forms::frmOptions.loaded()) options->Unload();
    flushClosedWindows();
  }

  void enablingFollowsBank1OnlyAndPaddingSize_data() { addRows(enablingRows); }
  void enablingFollowsBank1OnlyAndPaddingSize() {
    QFETCH(int, row);
    const EnablingRow& r = enablingRows[row];
    frmOptions* options = open(r.bank1Only, r.padSize);
    for (const char* c = r.clicks; *c; ++c)
      click(*c == 'B' ? static_cast<QWidget*>(options->chkBank1) : options->optPadSize[*c - '0']);
    QCOMPARE(usable(options), QString::fromLatin1(r.usable));
  }

  void onlyOkStoresAndOnlyAWellFormedOrder_data() { addRows(closeRows); }
  void onlyOkStoresAndOnlyAWellFormedOrder() {
    QFETCH(int, row);
    const CloseRow& r = closeRows[row];
    MessageRecorder messages;
    ConversionSettings.OutOrder = "0,1,8,9,2", ConversionSettings.PadValue = "ABC";
    const ConversionSettingsRecord before = ConversionSettings;
    frmOptions* options = open();
    QVERIFY(QTest::qWaitForWindowActive(options));
    QCOMPARE(options->txtOutputOrder->text() + ' ' + options->txtPadValue->text(), "0,1,8,9,2 ABC");
    click(options->optOverwrite[AskToOverwrite]);
    click(options->optPadSize[Padding64K]);
    click(options->optPadType[FrontPadding]);
    retype(options->txtOutputOrder, r.order);
    retype(options->txtPadValue, r.pad);
    QApplication::clipboard()->setText(QString::fromLatin1(r.pasted));
    QTest::keyClick(options->txtPadValue, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget() == options->cmdOK, QByteArray(r.pad).endsWith('\r'));
    QVERIFY(!options->IsUnloaded());
    if (r.bank1Only) click(options->chkBank1);
    click(options->chkLimit32K);  // takes only with Bank 1 Only
    r.close ? click(options->*r.close) : void(options->close());

    // Folders and extensions, order, Bank 1 Only, 32K limit, size, type, pad value, overwrite.
    const ConversionSettingsRecord stored(QString(), QString(), QString(), QString(), r.order,
                                          r.bank1Only, r.bank1Only, Padding64K, FrontPadding,
                                          r.stored, AskToOverwrite);
    QCOMPARE(ConversionSettings, r.stored ? stored : before);
    const bool refused = r.close == Ok && !r.stored;
    QCOMPARE(Forms::frmOptions.loaded() != nullptr, refused);
    QCOMPARE(messages.titles(), refused ? QStringList{"Format Error"} : QStringList());
    if (!refused) return;
    QCOMPARE(messages.shown[0].prompt, QStringLiteral("Invalid Bank Order format. Re-enter"));
    // A locked order box cannot take the focus; the check box locking it does.
    QCOMPARE(QApplication::focusWidget(),
             r.bank1Only ? static_cast<QWidget*>(options->chkBank1) : options->txtOutputOrder);
  }

  void openingAgainKeepsTheOpenWindow() {
    frmOptions* options = open();
    retype(options->txtOutputOrder, "9,8,1,0");
    Forms::frmOptions->Show();
    QCOMPARE(Forms::frmOptions.get(), options);
    QCOMPARE(options->txtOutputOrder->text(), QStringLiteral("9,8,1,0"));
  }
};

QTEST_MAIN(OptionsTest)
#include "test_options.moc"
