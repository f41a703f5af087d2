// The preset window: what each layout writes into the options window, and nothing else.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "ui/Controls.h"
#include "ui/frmFormat.h"
#include "ui/frmOptions.h"

namespace {

// Limit, Bank 1 Only, size, front padding; order; usable controls (L, s, t, V, O); colour.
QString state(frmOptions* w) {
  auto on = [](char letter, auto... c) { return (c->isEnabled() && ...) ? letter : '.'; };
  const int size = w->optPadSize[1]->isChecked() + 2 * w->optPadSize[2]->isChecked();
  return QString::asprintf("%d%d %d%d ", w->chkLimit32K->isChecked(), w->chkBank1->isChecked(),
                           size, w->optPadType[1]->isChecked()) +
         w->txtOutputOrder->text() + ' ' + on('L', w->chkLimit32K) +
         on('s', w->optPadSize[0], w->optPadSize[1], w->optPadSize[2]) +
         on('t', w->optPadType[0], w->optPadType[1]) + on('V', w->txtPadValue) +
         on('O', w->txtOutputOrder) + ' ' + w->txtOutputOrder->property("systemColour").toString();
}

// clang-format off
struct Row { const char* name; int preset; /* -1: the close box */ quint8 padSize, padType; const char* state; };
const Row rows[] = {
    {"standard, from 56K", 0, Padding56K, FrontPadding, "00 00 0,1,8,9 .s..O 5"},
    {"order 0,1,9,8, from 64K", 1, Padding64K, FrontPadding, "00 00 0,1,9,8 .s..O 5"},
    {"224K rear, from no padding", 2, NoPadding, FrontPadding, "00 10 8,1,0,9 .s.VO 5"},
    {"256K front, from 56K", 3, Padding56K, RearPadding, "00 21 0,1,8,9 .stVO 5"},
    {"bank 1 only, from 64K", 4, Padding64K, FrontPadding, "11 00 0,1,8,9 L.... 11"},
    {"the close box changes nothing", -1, Padding56K, FrontPadding, "10 11 9,9,9,9 .s.VO 5"},
};
// clang-format on

}  // namespace

class PresetsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() {
    Forms::frmOptions->Unload();
    flushClosedWindows();
  }

  void presetsFillOnlyTheOptionsWindow_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(rows)); ++i) QTest::newRow(rows[i].name) << i;
  }
  void presetsFillOnlyTheOptionsWindow() {
    QFETCH(int, row);
    const Row& r = rows[row];
    const ConversionSettingsRecord record({}, {}, {}, {}, "9,9,9,9", 0, 1, r.padSize, r.padType,
                                          "7E", AskToOverwrite);
    ConversionSettings = record;
    frmOptions* options = Forms::frmOptions.get();
    options->Show();
    // Double-click the order box; the presets come up modal, locking the options window.
    bool locked = false;
    QTimer::singleShot(0, options, [&] {
      frmFormat* presets = Forms::frmFormat.loaded();
      locked = !options->isEnabled() && QApplication::activeModalWidget() == presets;
      r.preset < 0 ? void(presets->close()) : presets->cmdSelection[r.preset]->click();
      if (Forms::frmFormat.loaded() && presets->Unload()) locked = false;  // fail, not hang
    });
    QTest::mouseDClick(options->txtOutputOrder, Qt::LeftButton);
    QVERIFY(locked && options->isEnabled());
    QCOMPARE(state(options), QString::fromLatin1(r.state));
    QCOMPARE(ConversionSettings, record);  // nothing is stored before the options' Ok
  }
};

QTEST_MAIN(PresetsTest)
#include "test_presets.moc"
