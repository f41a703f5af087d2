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

using Toolkit::Buttons;
using Toolkit::Icon;

namespace {

// The record as a fresh start with nothing stored leaves it.
ConversionSettingsRecord startRecord() {
  ConversionSettingsRecord record;
  record.SourceExt = record.TargetExt = QStringLiteral(".BIN");
  record.OutOrder = QStringLiteral("0,1,8,9");
  record.PadValue = QStringLiteral("FF");
  return record;
}

frmOptions* openWith(const ConversionSettingsRecord& record) {
  ConversionSettings = record;
  frmOptions* options = Forms::frmOptions.get();
  options->Show();
  return options;
}

template <class T>
T* control(QWidget* window, const char* name) {
  T* found = window->findChild<T*>(QString::fromLatin1(name));
  if (!found) qFatal("no control %s", name);
  return found;
}

QRadioButton* option(QWidget* window, const char* name, int index) {
  for (auto* button : window->findChildren<QRadioButton*>(QString::fromLatin1(name))) {
    if (button->property("index").toInt() == index) return button;
  }
  qFatal("no option %s(%d)", name, index);
}

// Which controls can be used now, one letter each, "." where not:
// L "Limit to 32K", S padding size frame, s padding size options, T padding
// type frame, t padding type options, V pad value, O order box. A group
// whose options disagree shows "?".
QString usable(QWidget* w) {
  auto group = [w](const char* name, int count, QChar letter) {
    int enabled = 0;
    for (int i = 0; i < count; ++i) enabled += option(w, name, i)->isEnabled() ? 1 : 0;
    return enabled == count ? letter : enabled == 0 ? QChar(u'.') : QChar(u'?');
  };
  auto one = [](QWidget* c, QChar letter) { return c->isEnabled() ? letter : QChar(u'.'); };
  QString s;
  s += one(control<QCheckBox>(w, "chkLimit32K"), u'L');
  s += one(control<QGroupBox>(w, "fraPadSize"), u'S');
  s += group("optPadSize", 3, u's');
  s += one(control<QGroupBox>(w, "fraPadType"), u'T');
  s += group("optPadType", 2, u't');
  s += one(control<TextBox>(w, "txtPadValue"), u'V');
  s += one(control<TextBox>(w, "txtOutputOrder"), u'O');
  return s;
}

// The system colour both text boxes show, or -1 when they differ.
int boxColour(QWidget* w) {
  const int order = control<TextBox>(w, "txtOutputOrder")->property("systemColour").toInt();
  const int pad = control<TextBox>(w, "txtPadValue")->property("systemColour").toInt();
  return order == pad ? order : -1;
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
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("colour");

    const QStringList none;
    QTest::newRow("opened, no padding: no type, no fill") << 0 << 0 << none << ".Ss...O" << 5;
    QTest::newRow("opened, 56K: fill but no type") << 0 << 1 << none << ".SsT.VO" << 5;
    QTest::newRow("opened, 64K: type and fill") << 0 << 2 << none << ".SsTtVO" << 5;
    QTest::newRow("opened bank 1 only, no padding") << 1 << 0 << none << "L......" << 11;
    QTest::newRow("opened bank 1 only, 56K") << 1 << 1 << none << "L......" << 11;
    QTest::newRow("opened bank 1 only, 64K") << 1 << 2 << none << "L......" << 11;
    QTest::newRow("checking bank 1 only locks the layout")
        << 0 << 2 << QStringList{"chkBank1"} << "L......" << 11;
    QTest::newRow("unchecking with no padding frees type and fill")
        << 1 << 0 << QStringList{"chkBank1"} << ".SsTtVO" << 15;
    QTest::newRow("unchecking with 56K frees the type too")
        << 1 << 1 << QStringList{"chkBank1"} << ".SsTtVO" << 15;
    QTest::newRow("a size chosen after unchecking applies again")
        << 1 << 0 << QStringList{"chkBank1", "optPadSize1"} << ".SsT.VO" << 15;
    QTest::newRow("clicking the size already chosen changes nothing")
        << 1 << 0 << QStringList{"chkBank1", "optPadSize0"} << ".SsTtVO" << 15;
    QTest::newRow("no padding after 64K") << 0 << 2 << QStringList{"optPadSize0"} << ".Ss...O" << 5;
    QTest::newRow("64K after no padding") << 0 << 0 << QStringList{"optPadSize2"} << ".SsTtVO" << 5;
    QTest::newRow("sizes cannot be clicked while bank 1 only")
        << 1 << 0 << QStringList{"optPadSize2"} << "L......" << 11;
  }
  void enablingFollowsBank1OnlyAndPaddingSize() {
    QFETCH(int, bank1Only);
    QFETCH(int, padSize);
    QFETCH(QStringList, clicks);
    QFETCH(QString, expected);
    QFETCH(int, colour);

    ConversionSettingsRecord record = startRecord();
    record.Bank1Only = static_cast<quint8>(bank1Only);
    record.PadSize = static_cast<quint8>(padSize);
    frmOptions* options = openWith(record);
    for (const QString& click : clicks) {
      QWidget* target = click == u"chkBank1"
                            ? static_cast<QWidget*>(control<QCheckBox>(options, "chkBank1"))
                            : option(options, "optPadSize", click.right(1).toInt());
      QTest::mouseClick(target, Qt::LeftButton);
    }
    QCOMPARE(usable(options), expected);
    QCOMPARE(boxColour(options), colour);
    // The label goes with its frame, whatever its own flag says.
    QCOMPARE(control<QLabel>(options, "lblPadValue")->isEnabled(),
             control<QGroupBox>(options, "fraPadType")->isEnabled());
    QVERIFY(control<QCheckBox>(options, "chkBank1")->isEnabled());
  }

  void limitKeepsItsValueWhileLocked() {
    ConversionSettingsRecord record = startRecord();
    record.Limit32K = 1;
    frmOptions* options = openWith(record);
    auto* limit = control<QCheckBox>(options, "chkLimit32K");
    QVERIFY(limit->isChecked());
    QVERIFY(!limit->isEnabled());
    QTest::mouseClick(control<QCheckBox>(options, "chkBank1"), Qt::LeftButton);
    QVERIFY(limit->isEnabled());
    QTest::mouseClick(limit, Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(options, "chkBank1"), Qt::LeftButton);
    QVERIFY(!limit->isEnabled());
    QVERIFY(!limit->isChecked());
  }

  void padValueKeyFilter_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");

    QTest::newRow("digits and upper-case hex pass") << ""
                                                    << "9C" << 0 << "9C";
    QTest::newRow("lower-case hex becomes upper-case") << ""
                                                       << "af" << 0 << "AF";
    QTest::newRow("letters past F are dropped") << ""
                                                << "Gg" << 0 << "";
    QTest::newRow("punctuation and blanks are dropped") << ""
                                                        << ", .x" << 0 << "";
    QTest::newRow("a dropped character leaves the rest") << ""
                                                         << "fG0" << 0 << "F0";
    QTest::newRow("a third character does not fit") << "AB"
                                                    << "C" << 0 << "AB";
    QTest::newRow("Backspace deletes") << "AB"
                                       << "" << int(Qt::Key_Backspace) << "A";
    QTest::newRow("Escape is dropped") << "A"
                                       << "" << int(Qt::Key_Escape) << "A";
  }
  void padValueKeyFilter() {
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, after);

    ConversionSettingsRecord record = startRecord();
    record.PadSize = Padding64K;
    record.PadValue = before;
    frmOptions* options = openWith(record);
    auto* box = control<TextBox>(options, "txtPadValue");
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, typed);
    if (key != 0) QTest::keyClick(box, Qt::Key(key));
    QCOMPARE(box->text(), after);
    QVERIFY(!options->IsUnloaded());
  }

  void enterInPadValueMovesToOkWithoutPressingIt() {
    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.PadSize = Padding64K;
    frmOptions* options = openWith(record);
    QVERIFY(QTest::qWaitForWindowActive(options));
    auto* box = control<TextBox>(options, "txtPadValue");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "7");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->text(), QStringLiteral("7"));
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(options, "cmdOK"));
    QVERIFY(!options->IsUnloaded());
    QCOMPARE(ConversionSettings.PadValue, QStringLiteral("FF"));
    QVERIFY(messages.shown.isEmpty());
    // Enter now presses the focused button.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(options->IsUnloaded());
    QCOMPARE(ConversionSettings.PadValue, QStringLiteral("07"));
  }

  void pastedPadValueKeepsOnlyHexDigits() {
    ConversionSettingsRecord record = startRecord();
    record.PadSize = Padding64K;
    record.PadValue.clear();
    frmOptions* options = openWith(record);
    auto* box = control<TextBox>(options, "txtPadValue");
    QApplication::clipboard()->setText(QStringLiteral("e;"));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("E"));
  }

  void okChecksTheOrderForm_data() {
    QTest::addColumn<QString>("order");
    QTest::addColumn<bool>("accepted");

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
    QTest::newRow("commas in the bank places") << "01,8,9," << false;
    QTest::newRow("empty") << "" << false;
  }
  void okChecksTheOrderForm() {
    QFETCH(QString, order);
    QFETCH(bool, accepted);

    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.OutOrder = QStringLiteral("9,9,9,9");
    frmOptions* options = openWith(record);
    QVERIFY(QTest::qWaitForWindowActive(options));
    auto* orderBox = control<TextBox>(options, "txtOutputOrder");
    orderBox->clear();
    QTest::keyClicks(orderBox, order);
    control<QPushButton>(options, "cmdCancel")->setFocus();
    QTest::mouseClick(control<QPushButton>(options, "cmdOK"), Qt::LeftButton);

    if (accepted) {
      QVERIFY(messages.shown.isEmpty());
      QVERIFY(options->IsUnloaded());
      QCOMPARE(ConversionSettings.OutOrder, order);
      return;
    }
    QCOMPARE(messages.shown.size(), 1);
    const Toolkit::Message& shown = messages.shown.first();
    QCOMPARE(shown.prompt, QStringLiteral("Invalid Bank Order format. Re-enter"));
    QCOMPARE(shown.title, QStringLiteral("Format Error"));
    QCOMPARE(shown.icon, Icon::Critical);
    QCOMPARE(shown.buttons, Buttons::OK);
    QVERIFY(!options->IsUnloaded());
    QCOMPARE(ConversionSettings, record);
    QCOMPARE(orderBox->text(), order);
    QCOMPARE(QApplication::focusWidget(), orderBox);
  }

  void badOrderBehindBank1OnlyIsStillRefused() {
    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.OutOrder = QStringLiteral("0,1,8");
    frmOptions* options = openWith(record);
    QVERIFY(QTest::qWaitForWindowActive(options));
    QTest::mouseClick(control<QCheckBox>(options, "chkBank1"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(options, "cmdOK"), Qt::LeftButton);
    QCOMPARE(messages.titles(), QStringList{QStringLiteral("Format Error")});
    QVERIFY(!options->IsUnloaded());
    QCOMPARE(ConversionSettings, record);
    // The order box is locked; the focus goes to what unlocks it.
    QCOMPARE(QApplication::focusWidget(), control<QCheckBox>(options, "chkBank1"));
  }

  void okStoresPadValueWithTwoDigits_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty becomes 00") << ""
                                      << "00";
    QTest::newRow("one digit gets a leading 0") << "7"
                                                << "07";
    QTest::newRow("two digits are kept") << "A5"
                                         << "A5";
  }
  void okStoresPadValueWithTwoDigits() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    ConversionSettingsRecord record = startRecord();
    record.PadSize = Padding56K;
    frmOptions* options = openWith(record);
    auto* box = control<TextBox>(options, "txtPadValue");
    box->clear();
    QTest::keyClicks(box, typed);
    options->cmdOK_Click();
    QCOMPARE(ConversionSettings.PadValue, stored);
  }

  void okStoresEveryChoiceAlsoWithBank1Only() {
    frmOptions* options = openWith(startRecord());
    QTest::mouseClick(option(options, "optOverwrite", 2), Qt::LeftButton);
    QTest::mouseClick(option(options, "optPadSize", 2), Qt::LeftButton);
    QTest::mouseClick(option(options, "optPadType", 1), Qt::LeftButton);
    auto* orderBox = control<TextBox>(options, "txtOutputOrder");
    orderBox->selectAll();
    QTest::keyClicks(orderBox, "8,1,0,9");
    auto* pad = control<TextBox>(options, "txtPadValue");
    pad->selectAll();
    QTest::keyClicks(pad, "3c");
    QTest::mouseClick(control<QCheckBox>(options, "chkBank1"), Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(options, "chkLimit32K"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(options, "cmdOK"), Qt::LeftButton);

    ConversionSettingsRecord expected = startRecord();
    expected.OutOrder = QStringLiteral("8,1,0,9");
    expected.PadValue = QStringLiteral("3C");
    expected.Overwrite = AskToOverwrite;
    expected.PadSize = Padding64K;
    expected.PadType = FrontPadding;
    expected.Bank1Only = 1;
    expected.Limit32K = 1;
    QCOMPARE(ConversionSettings, expected);
    QVERIFY(options->IsUnloaded());
    QVERIFY(!Forms::frmOptions.loaded());

    // The next opening is built from the record, bank 1 choices included.
    frmOptions* again = openWith(ConversionSettings);
    QVERIFY(again != options);
    QVERIFY(control<QCheckBox>(again, "chkBank1")->isChecked());
    QVERIFY(control<QCheckBox>(again, "chkLimit32K")->isChecked());
    QVERIFY(option(again, "optPadType", 1)->isChecked());
    QCOMPARE(control<TextBox>(again, "txtOutputOrder")->text(), QStringLiteral("8,1,0,9"));
    QCOMPARE(usable(again), QStringLiteral("L......"));
  }

  void codesWithoutAnOptionShowWhatARunDoes() {
    ConversionSettingsRecord record = startRecord();
    record.Overwrite = 7;
    record.PadSize = 5;
    record.PadType = 3;
    frmOptions* options = openWith(record);
    QVERIFY(option(options, "optOverwrite", 0)->isChecked());
    QVERIFY(option(options, "optPadSize", 0)->isChecked());
    QVERIFY(option(options, "optPadType", 1)->isChecked());
    QCOMPARE(usable(options), QStringLiteral(".Ss...O"));
    options->cmdOK_Click();
    QCOMPARE(ConversionSettings.Overwrite, NeverOverwrite);
    QCOMPARE(ConversionSettings.PadSize, NoPadding);
    QCOMPARE(ConversionSettings.PadType, FrontPadding);
  }

  void everyOtherCloseDiscards_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "cancel";
    QTest::newRow("close box") << "close";
  }
  void everyOtherCloseDiscards() {
    QFETCH(QString, how);
    MessageRecorder messages;
    ConversionSettingsRecord record = startRecord();
    record.OutOrder = QStringLiteral("8,1,0,9");
    record.PadSize = Padding64K;
    frmOptions* options = openWith(record);
    auto* orderBox = control<TextBox>(options, "txtOutputOrder");
    orderBox->selectAll();
    QTest::keyClicks(orderBox, "0,1");
    QTest::mouseClick(option(options, "optPadSize", 0), Qt::LeftButton);
    QTest::mouseClick(option(options, "optOverwrite", 1), Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(options, "chkBank1"), Qt::LeftButton);
    if (how == u"cancel") {
      QTest::mouseClick(control<QPushButton>(options, "cmdCancel"), Qt::LeftButton);
    } else {
      QVERIFY(options->close());
    }
    QVERIFY(options->IsUnloaded());
    QVERIFY(!Forms::frmOptions.loaded());
    QCOMPARE(ConversionSettings, record);
    QVERIFY(messages.shown.isEmpty());
    flushClosedWindows();

    frmOptions* again = openWith(ConversionSettings);
    QCOMPARE(control<TextBox>(again, "txtOutputOrder")->text(), QStringLiteral("8,1,0,9"));
    QVERIFY(option(again, "optPadSize", 2)->isChecked());
    QVERIFY(option(again, "optOverwrite", 0)->isChecked());
    QVERIFY(!control<QCheckBox>(again, "chkBank1")->isChecked());
    QCOMPARE(usable(again), QStringLiteral(".SsTtVO"));
  }

  void openingAgainKeepsTheOpenWindow() {
    frmOptions* options = openWith(startRecord());
    auto* orderBox = control<TextBox>(options, "txtOutputOrder");
    orderBox->selectAll();
    QTest::keyClicks(orderBox, "9,8,1,0");
    Forms::frmOptions->Show();
    QCOMPARE(Forms::frmOptions.get(), options);
    QCOMPARE(orderBox->text(), QStringLiteral("9,8,1,0"));
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget* w) { return qobject_cast<frmOptions*>(w) != nullptr; }),
             1);
  }

  void keyboardOrder() {
    frmOptions* options = openWith(startRecord());
    const QList<QWidget*> expected{
        option(options, "optOverwrite", 0),         option(options, "optOverwrite", 1),
        option(options, "optOverwrite", 2),         control<TextBox>(options, "txtOutputOrder"),
        control<QPushButton>(options, "cmdCancel"), control<QPushButton>(options, "cmdOK"),
        option(options, "optPadSize", 0),           option(options, "optPadSize", 1),
        option(options, "optPadSize", 2),           option(options, "optPadType", 0),
        option(options, "optPadType", 1),           control<TextBox>(options, "txtPadValue"),
        control<QCheckBox>(options, "chkBank1"),    control<QCheckBox>(options, "chkLimit32K")};
    QList<QWidget*> chain;
    QWidget* w = expected.first();
    do {
      if (expected.contains(w)) chain.append(w);
      w = w->nextInFocusChain();
    } while (w != expected.first());
    QCOMPARE(chain, expected);
  }
};

QTEST_MAIN(OptionsTest)
#include "test_options.moc"
