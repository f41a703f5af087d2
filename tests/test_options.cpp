// The options window: its enabling rules, the pad value key filter, the
// order check on Ok, what Ok stores and what every other close discards.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tests/support/TestSupport.h"
#include "ui/Controls.h"
#include "ui/frmOptions.h"

namespace {

ConversionSettingsRecord startRecord() {
  ConversionSettingsRecord record;
  record.OutOrder = QStringLiteral("0,1,8,9");
  record.PadValue = QStringLiteral("FF");
  return record;
}

frmOptions* openWith(const ConversionSettingsRecord& record) {
  ConversionSettings = record;
  Forms::frmOptions->Show();
  return Forms::frmOptions.get();
}

template <class T = QWidget>
T* control(QWidget* window, const char* name, int index = -1) {
  for (auto* found : window->findChildren<T*>(QString::fromLatin1(name))) {
    if (index < 0 || found->property("index").toInt() == index) return found;
  }
  qFatal("no control %s(%d)", name, index);
}

void click(QWidget* window, const char* name, int index = -1) {
  QTest::mouseClick(control(window, name, index), Qt::LeftButton);
}

void retype(QWidget* window, const char* name, const QString& text) {
  auto* box = control<TextBox>(window, name);
  box->clear();
  QTest::keyClicks(box, text);
}

// Which controls can be used, one letter each or "." where not: L "Limit to
// 32K", S/s padding size frame/options, T/t padding type frame/options, V
// pad value, O order box; then the system colour of the text boxes.
QString usable(QWidget* w) {
  auto all = [w](const char* name, int count, char letter) {
    for (int i = 0; i < count; ++i) {
      if (!control(w, name, i)->isEnabled()) return '.';
    }
    return letter;
  };
  auto one = [w](const char* name, char letter) {
    return control(w, name)->isEnabled() ? letter : '.';
  };
  const QString colour = control(w, "txtPadValue")->property("systemColour").toString();
  if (control(w, "txtOutputOrder")->property("systemColour").toString() != colour) return "?";
  return QString() + one("chkLimit32K", 'L') + one("fraPadSize", 'S') + all("optPadSize", 3, 's') +
         one("fraPadType", 'T') + all("optPadType", 2, 't') + one("txtPadValue", 'V') +
         one("txtOutputOrder", 'O') + ' ' + colour;
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }
  void cleanup() {
    if (frmOptions* options = Forms::frmOptions.loaded()) options->Unload();
    flushClosedWindows();
    ResetGlobals();
  }

  void enablingFollowsBank1OnlyAndPaddingSize_data() {
    QTest::addColumn<int>("bank1Only");
    QTest::addColumn<int>("padSize");
    QTest::addColumn<QString>("clicks");  // B "Bank 1 Only", 0-2 a padding size
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("opened, no padding: no type, no fill") << 0 << 0 << "" << ".Ss...O 5";
    QTest::newRow("opened, 56K: fill but no type") << 0 << 1 << "" << ".SsT.VO 5";
    QTest::newRow("opened, 64K: type and fill") << 0 << 2 << "" << ".SsTtVO 5";
    QTest::newRow("opened bank 1 only, no padding") << 1 << 0 << "" << "L...... 11";
    QTest::newRow("opened bank 1 only, 56K") << 1 << 1 << "" << "L...... 11";
    QTest::newRow("opened bank 1 only, 64K") << 1 << 2 << "" << "L...... 11";
    QTest::newRow("checking bank 1 only locks the layout") << 0 << 2 << "B" << "L...... 11";
    QTest::newRow("unchecking with no padding frees it all") << 1 << 0 << "B" << ".SsTtVO 15";
    QTest::newRow("unchecking with 56K frees the type too") << 1 << 1 << "B" << ".SsTtVO 15";
    QTest::newRow("a size chosen after unchecking applies") << 1 << 0 << "B1" << ".SsT.VO 15";
    QTest::newRow("the size already chosen changes nothing") << 1 << 0 << "B0" << ".SsTtVO 15";
    QTest::newRow("no padding after 64K") << 0 << 2 << "0" << ".Ss...O 5";
    QTest::newRow("64K after no padding") << 0 << 0 << "2" << ".SsTtVO 5";
    QTest::newRow("sizes cannot be clicked while locked") << 1 << 0 << "2" << "L...... 11";
    // clang-format on
  }
  void enablingFollowsBank1OnlyAndPaddingSize() {
    QFETCH(int, bank1Only);
    QFETCH(int, padSize);
    QFETCH(QString, clicks);
    QFETCH(QString, expected);

    ConversionSettingsRecord record = startRecord();
    record.Bank1Only = static_cast<quint8>(bank1Only);
    record.PadSize = static_cast<quint8>(padSize);
    frmOptions* options = openWith(record);
    for (QChar c : clicks) {
      c == u'B' ? click(options, "chkBank1") : click(options, "optPadSize", c.digitValue());
    }
    QCOMPARE(usable(options), expected);
    // The label goes with its frame, though nothing disables it by itself.
    QCOMPARE(control(options, "lblPadValue")->isEnabled(),
             control(options, "fraPadType")->isEnabled());
  }

  void padValueKeyFilter_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");

    // clang-format off
    QTest::newRow("digits and upper-case hex pass") << "" << "9C" << 0 << "9C";
    QTest::newRow("lower-case hex becomes upper-case") << "" << "af" << 0 << "AF";
    QTest::newRow("G and punctuation are dropped") << "" << "Gg, x" << 0 << "";
    QTest::newRow("a dropped character leaves the rest") << "" << "fG0" << 0 << "F0";
    QTest::newRow("a third character does not fit") << "AB" << "C" << 0 << "AB";
    QTest::newRow("Backspace deletes") << "AB" << "" << int(Qt::Key_Backspace) << "A";
    QTest::newRow("Escape is dropped") << "A" << "" << int(Qt::Key_Escape) << "A";
    QTest::newRow("Enter moves on to Ok") << "A" << "" << int(Qt::Key_Return) << "A";
    // clang-format on
  }
  void padValueKeyFilter() {
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, after);

    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.PadSize = Padding64K;
    record.PadValue = before;
    frmOptions* options = openWith(record);
    QVERIFY(QTest::qWaitForWindowActive(options));
    auto* box = control<TextBox>(options, "txtPadValue");
    box->setFocus();
    QTest::keyClicks(box, typed);
    if (key != 0) QTest::keyClick(box, Qt::Key(key));
    QCOMPARE(box->text(), after);
    QCOMPARE(QApplication::focusWidget(), key == Qt::Key_Return ? control(options, "cmdOK") : box);
    QVERIFY(!options->IsUnloaded());
    QCOMPARE(ConversionSettings, record);
    QVERIFY(messages.shown.isEmpty());
  }

  void pastedPadValueKeepsOnlyHexDigits() {
    ConversionSettingsRecord record = startRecord();
    record.PadSize = Padding56K;
    frmOptions* options = openWith(record);
    auto* box = control<TextBox>(options, "txtPadValue");
    box->clear();
    QApplication::clipboard()->setText(QStringLiteral("e;"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("E"));
  }

  void okChecksTheOrderForm_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<bool>("accepted");

    // clang-format off
    QTest::newRow("standard order") << "0,1,8,9" << true;
    QTest::newRow("another order") << "8,1,0,9" << true;
    QTest::newRow("letters in the bank places") << "a,b,c,d" << true;
    QTest::newRow("repeated banks") << "0,0,0,0" << true;
    QTest::newRow("blanks in the bank places") << " , , , " << true;
    QTest::newRow("too short") << "0,1,8" << false;
    QTest::newRow("semicolons for commas") << "0;1;8;9" << false;
    QTest::newRow("first separator not a comma") << "0.1,8,9" << false;
    QTest::newRow("middle separator not a comma") << "0,1 8,9" << false;
    QTest::newRow("last separator not a comma") << "0,1,8-9" << false;
    QTest::newRow("empty") << "" << false;
    // clang-format on
  }
  void okChecksTheOrderForm() {
    QFETCH(QString, order);
    QFETCH(bool, accepted);

    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.OutOrder = QStringLiteral("9,9,9,9");
    frmOptions* options = openWith(record);
    QVERIFY(QTest::qWaitForWindowActive(options));
    retype(options, "txtOutputOrder", order);
    click(options, "cmdOK");

    QCOMPARE(options->IsUnloaded(), accepted);
    if (accepted) {
      QVERIFY(messages.shown.isEmpty());
      QCOMPARE(ConversionSettings.OutOrder, order);
      return;
    }
    QCOMPARE(messages.shown.size(), 1);
    const Toolkit::Message& shown = messages.shown.first();
    QCOMPARE(shown.prompt, QStringLiteral("Invalid Bank Order format. Re-enter"));
    QCOMPARE(shown.title, QStringLiteral("Format Error"));
    QCOMPARE(shown.icon, Toolkit::Icon::Critical);
    QCOMPARE(shown.buttons, Toolkit::Buttons::OK);
    QCOMPARE(ConversionSettings, record);
    QCOMPARE(control<TextBox>(options, "txtOutputOrder")->text(), order);
    QCOMPARE(QApplication::focusWidget(), control(options, "txtOutputOrder"));
  }

  void badOrderBehindBank1OnlyIsStillRefused() {
    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.OutOrder = QStringLiteral("0,1,8");
    frmOptions* options = openWith(record);
    QVERIFY(QTest::qWaitForWindowActive(options));
    click(options, "chkBank1");
    click(options, "cmdOK");
    QCOMPARE(messages.titles(), QStringList{QStringLiteral("Format Error")});
    QVERIFY(!options->IsUnloaded());
    QCOMPARE(ConversionSettings, record);
    // The order box is locked; the focus goes to what unlocks it.
    QCOMPARE(QApplication::focusWidget(), control(options, "chkBank1"));
  }

  void okStoresEveryChoiceAlsoWithBank1Only_data() {
    QTest::addColumn<QString>("padTyped");
    QTest::addColumn<QString>("padStored");
    // clang-format off
    QTest::newRow("empty pad value becomes 00") << "" << "00";
    QTest::newRow("one digit gets a leading 0") << "7" << "07";
    QTest::newRow("two digits are kept") << "3c" << "3C";
    // clang-format on
  }
  void okStoresEveryChoiceAlsoWithBank1Only() {
    QFETCH(QString, padTyped);
    QFETCH(QString, padStored);

    frmOptions* options = openWith(startRecord());
    click(options, "optOverwrite", 2);
    click(options, "optPadSize", 2);
    click(options, "optPadType", 1);
    retype(options, "txtOutputOrder", "8,1,0,9");
    retype(options, "txtPadValue", padTyped);
    click(options, "chkBank1");
    click(options, "chkLimit32K");
    click(options, "cmdOK");

    ConversionSettingsRecord expected = startRecord();
    expected.OutOrder = QStringLiteral("8,1,0,9");
    expected.PadValue = padStored;
    expected.Overwrite = AskToOverwrite;
    expected.PadSize = Padding64K;
    expected.PadType = FrontPadding;
    expected.Bank1Only = 1;
    expected.Limit32K = 1;
    QCOMPARE(ConversionSettings, expected);
    QVERIFY(!Forms::frmOptions.loaded());

    // The next opening is a new window built from the record.
    frmOptions* again = openWith(ConversionSettings);
    QVERIFY(again != options);
    QVERIFY(control<QCheckBox>(again, "chkLimit32K")->isChecked());
    QVERIFY(control<QRadioButton>(again, "optPadType", 1)->isChecked());
    QCOMPARE(control<TextBox>(again, "txtPadValue")->text(), padStored);
    QCOMPARE(usable(again), QStringLiteral("L...... 11"));
  }

  void codesWithoutAnOptionShowWhatARunDoes() {
    ConversionSettingsRecord record = startRecord();
    record.Overwrite = 7;
    record.PadSize = 5;
    record.PadType = 3;
    openWith(record)->cmdOK_Click();
    QCOMPARE(ConversionSettings.Overwrite, NeverOverwrite);
    QCOMPARE(ConversionSettings.PadSize, NoPadding);
    QCOMPARE(ConversionSettings.PadType, FrontPadding);
  }

  void everyOtherCloseDiscards_data() {
    QTest::addColumn<bool>("cancelButton");
    // clang-format off
    QTest::newRow("Cancel button") << true;
    QTest::newRow("close box") << false;
    // clang-format on
  }
  void everyOtherCloseDiscards() {
    QFETCH(bool, cancelButton);
    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.OutOrder = QStringLiteral("8,1,0,9");
    record.PadSize = Padding64K;
    frmOptions* options = openWith(record);
    retype(options, "txtOutputOrder", "0,1");
    click(options, "optPadSize", 0);
    click(options, "optOverwrite", 1);
    click(options, "chkBank1");
    cancelButton ? click(options, "cmdCancel") : void(options->close());
    QVERIFY(!Forms::frmOptions.loaded());
    QCOMPARE(ConversionSettings, record);
    QVERIFY(messages.shown.isEmpty());

    frmOptions* again = openWith(ConversionSettings);
    QCOMPARE(control<TextBox>(again, "txtOutputOrder")->text(), QStringLiteral("8,1,0,9"));
    QVERIFY(control<QRadioButton>(again, "optPadSize", 2)->isChecked());
    QVERIFY(control<QRadioButton>(again, "optOverwrite", 0)->isChecked());
    QCOMPARE(usable(again), QStringLiteral(".SsTtVO 5"));
  }

  void openingAgainKeepsTheOpenWindow() {
    frmOptions* options = openWith(startRecord());
    retype(options, "txtOutputOrder", "9,8,1,0");
    Forms::frmOptions->Show();
    QCOMPARE(Forms::frmOptions.get(), options);
    QCOMPARE(control<TextBox>(options, "txtOutputOrder")->text(), QStringLiteral("9,8,1,0"));
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget* w) { return qobject_cast<frmOptions*>(w) != nullptr; }),
             1);
  }
};

QTEST_MAIN(OptionsTest)
#include "test_options.moc"
