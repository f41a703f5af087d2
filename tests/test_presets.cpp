// The preset window: what each layout writes into the options window, that
// only a preset button changes anything, and that the options window is
// locked while the presets are up.
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tests/support/TestSupport.h"
#include "ui/Controls.h"
#include "ui/frmFormat.h"
#include "ui/frmOptions.h"

namespace {

// Another padding and order than any preset, the 32K limit checked but
// locked, and values no preset touches.
ConversionSettingsRecord startRecord(int padSize, int padType) {
  ConversionSettingsRecord record;
  record.OutOrder = QStringLiteral("9,9,9,9");
  record.PadValue = QStringLiteral("7E");
  record.Overwrite = AskToOverwrite;
  record.Limit32K = 1;
  record.PadSize = static_cast<quint8>(padSize);
  record.PadType = static_cast<quint8>(padType);
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

int selected(QWidget* w, const char* name) {
  for (auto* option : w->findChildren<QRadioButton*>(QString::fromLatin1(name))) {
    if (option->isChecked()) return option->property("index").toInt();
  }
  return -1;
}

// Everything a preset may touch, in one line: the check boxes, the selected
// options, the texts, then which controls can be used (L limit, S/s padding
// size frame/options, T/t padding type frame/options, V pad value, O order
// box; "." where not) and the order box's system colour.
QString state(QWidget* w) {
  auto one = [w](const char* name, char letter) {
    return control(w, name)->isEnabled() ? letter : '.';
  };
  auto all = [w](const char* name, int count, char letter) {
    for (int i = 0; i < count; ++i) {
      if (!control(w, name, i)->isEnabled()) return '.';
    }
    return letter;
  };
  const QString usable = QString() + one("chkLimit32K", 'L') + one("fraPadSize", 'S') +
                         all("optPadSize", 3, 's') + one("fraPadType", 'T') +
                         all("optPadType", 2, 't') + one("txtPadValue", 'V') +
                         one("txtOutputOrder", 'O');
  return QStringLiteral("limit=%1 bank1=%2 size=%3 type=%4 over=%5 %6 pad=%7 %8 %9")
      .arg(int(control<QCheckBox>(w, "chkLimit32K")->isChecked()))
      .arg(int(control<QCheckBox>(w, "chkBank1")->isChecked()))
      .arg(selected(w, "optPadSize"))
      .arg(selected(w, "optPadType"))
      .arg(selected(w, "optOverwrite"))
      .arg(control<TextBox>(w, "txtOutputOrder")->text())
      .arg(control<TextBox>(w, "txtPadValue")->text())
      .arg(usable)
      .arg(control(w, "txtOutputOrder")->property("systemColour").toInt());
}

// Double-clicks the order box and, once the preset window is up, runs
// `whileShown` on it. True when the options window was unavailable at that
// moment and the preset window then closed by itself.
bool withPresetsShown(frmOptions* options, const std::function<void(frmFormat*)>& whileShown) {
  bool optionsLocked = false;
  bool timedOut = false;
  QObject scope;  // drops both timers should the window never come up
  QTimer::singleShot(0, &scope, [&] {
    frmFormat* presets = Forms::frmFormat.loaded();
    if (!presets) return;
    optionsLocked = !options->isEnabled() && QApplication::activeModalWidget() == presets;
    whileShown(presets);
  });
  QTimer::singleShot(2000, &scope, [&] {
    timedOut = true;
    if (frmFormat* presets = Forms::frmFormat.loaded()) presets->Unload();
  });
  QTest::mouseDClick(control(options, "txtOutputOrder"), Qt::LeftButton);
  return optionsLocked && !timedOut && !Forms::frmFormat.loaded() && options->isEnabled();
}

}  // namespace

class PresetsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { ResetGlobals(); }
  void cleanup() {
    if (frmOptions* options = Forms::frmOptions.loaded()) options->Unload();
    flushClosedWindows();
    ResetGlobals();
  }

  void eachPresetFillsTheOptions_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("padSizeBefore");
    QTest::addColumn<int>("padTypeBefore");
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("standard, from 56K") << 0 << 1 << 1
        << "limit=0 bank1=0 size=0 type=0 over=2 0,1,8,9 pad=7E .Ss...O 5";
    QTest::newRow("xDS, from 64K") << 1 << 2 << 1
        << "limit=0 bank1=0 size=0 type=0 over=2 0,1,9,8 pad=7E .Ss...O 5";
    QTest::newRow("224K rear, from no padding") << 2 << 0 << 1
        << "limit=0 bank1=0 size=1 type=0 over=2 8,1,0,9 pad=7E .SsT.VO 5";
    QTest::newRow("256K front, from 56K") << 3 << 1 << 0
        << "limit=0 bank1=0 size=2 type=1 over=2 0,1,8,9 pad=7E .SsTtVO 5";
    QTest::newRow("bank 1 only, from 64K") << 4 << 2 << 1
        << "limit=1 bank1=1 size=0 type=0 over=2 0,1,8,9 pad=7E L...... 11";
    // clang-format on
  }
  void eachPresetFillsTheOptions() {
    QFETCH(int, index);
    QFETCH(int, padSizeBefore);
    QFETCH(int, padTypeBefore);
    QFETCH(QString, expected);

    const ConversionSettingsRecord record = startRecord(padSizeBefore, padTypeBefore);
    frmOptions* options = openWith(record);
    QVERIFY(withPresetsShown(options, [index](frmFormat* presets) {
      QTest::mouseClick(control(presets, "cmdSelection", index), Qt::LeftButton);
    }));
    QCOMPARE(Forms::frmOptions.loaded(), options);
    QCOMPARE(state(options), expected);
    QCOMPARE(ConversionSettings, record);
  }

  void closingWithoutAPresetChangesNothing_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("close box") << true;
    QTest::newRow("an index no preset has") << false;
  }
  void closingWithoutAPresetChangesNothing() {
    QFETCH(bool, closeBox);
    const ConversionSettingsRecord record = startRecord(Padding56K, FrontPadding);
    frmOptions* options = openWith(record);
    const QString before = state(options);
    QVERIFY(withPresetsShown(options, [closeBox](frmFormat* presets) {
      closeBox ? void(presets->close()) : presets->cmdSelection_Click(5);
    }));
    QCOMPARE(state(options), before);
    QCOMPARE(ConversionSettings, record);
  }

  void presetReachesTheRecordOnlyThroughOk() {
    MessageRecorder messages;
    const ConversionSettingsRecord record = startRecord(NoPadding, RearPadding);
    frmOptions* options = openWith(record);
    QVERIFY(withPresetsShown(options, [](frmFormat* presets) { presets->cmdSelection_Click(2); }));
    QTest::mouseClick(control(options, "cmdCancel"), Qt::LeftButton);
    QCOMPARE(ConversionSettings, record);

    options = openWith(record);
    QVERIFY(withPresetsShown(options, [](frmFormat* presets) { presets->cmdSelection_Click(3); }));
    QTest::mouseClick(control(options, "cmdOK"), Qt::LeftButton);
    QVERIFY(messages.shown.isEmpty());
    ConversionSettingsRecord expected = record;
    expected.OutOrder = QStringLiteral("0,1,8,9");
    expected.PadSize = Padding64K;
    expected.PadType = FrontPadding;
    expected.Limit32K = 0;
    QCOMPARE(ConversionSettings, expected);
  }

  void lockedOrderBoxOffersNoPresets() {
    ConversionSettingsRecord record = startRecord(NoPadding, RearPadding);
    record.Bank1Only = 1;
    frmOptions* options = openWith(record);
    const QString before = state(options);
    options->txtOutputOrder_DblClick();
    QTest::mouseDClick(control(options, "txtOutputOrder"), Qt::LeftButton);
    QVERIFY(!Forms::frmFormat.loaded());
    QVERIFY(options->isEnabled());
    QCOMPARE(state(options), before);
  }
};

QTEST_MAIN(PresetsTest)
#include "test_presets.moc"
