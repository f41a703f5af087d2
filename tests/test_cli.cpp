// quillet-cli, driven as a script drives it: the same bytes as the window's
// run, the refusals and their exit codes, JSON reports, and inspect.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "settings/Presets.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

const qint64 K = 1024;

struct Result {
  int code = -1;
  QString out, err;
};

// Runs quillet-cli with its settings store in configHome, never the user's.
Result cli(const QStringList& args, const TemporarySettingsStore& store) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QUILLET_SETTINGS_ROOT"), store.root());
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(QUILLET_CLI), args);
  process.closeWriteChannel();
  if (!process.waitForFinished(60000)) return {};
  // Windows ends the lines of text output with CR LF.
  const auto text = [](const QByteArray& bytes) {
    return QString::fromUtf8(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  };
  return {process.exitCode(), text(process.readAllStandardOutput()),
          text(process.readAllStandardError())};
}

QStringList words(const char* text) {
  return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
}

// JSON written with ' for ".
QString json(const char* text) {
  return QString::fromUtf8(text).replace(u'\'', u'"');
}

void putSamples(RunFixture& f) {
  for (const auto& [name, image] : SampleImages()) f.putSource(name, image);
}

// clang-format off
struct Layout { const char* name; const char* args; quint8 padSize, padType; const char* order, *fill; quint8 bank1Only, limit32K; };
const Layout layouts[] = {
    {"order 8,1,0,9 unpadded", "--order 8,1,0,9 --pad none", NoPadding, RearPadding, "8,1,0,9", "FF", 0, 0},
    {"56K padding, fill 00", "--pad 56K --fill 0", Padding56K, RearPadding, "0,1,8,9", "00", 0, 0},
    {"64K rear padding, order 0,1,9,8", "--pad 64k --pad-type rear --order 0,1,9,8", Padding64K, RearPadding, "0,1,9,8", "FF", 0, 0},
    {"preset 4: 64K front padding", "--preset 4", Padding64K, FrontPadding, "0,1,8,9", "FF", 0, 0},
    {"bank 1 cut to 32K", "--bank1-only --limit-32k --pad 64k", Padding64K, RearPadding, "0,1,8,9", "FF", 1, 1},
};

// %S the source folder, %T the target folder (holding one file), %M a folder that does not exist.
struct Refused { const char* name; const char* args; int code; const char* err; };
const Refused refusals[] = {
    {"same folder and extension", "convert %S %S", 3, "Folder Error: The Source and Target folders/extensions are the same.\nPlease change"},
    {"no files of the extension", "convert %S %T --source-ext HEX", 3, "No Files Found: No '*.HEX' files found in source folder."},
    {"source folder missing", "convert %M %T", 3, "The Source folder does not exist"},
    {"target folder missing", "convert %S %M", 3, "The Target folder does not exist"},
    {"ask with no terminal to ask on", "convert %S %T --overwrite ask", 2, "not a terminal"},
    {"unknown pad size", "convert %S %T --pad 48k", 2, "bad value '48k' for --pad"},
    {"order of three banks", "convert %S %T --order 0,1,8", 2, "for --order"},
    {"one folder only", "convert %S", 2, "needs SOURCE_FOLDER and"},
    {"unknown command", "reorder %S %T", 2, "unknown command"},
    {"inspect with a layout option", "inspect %S --pad 56k", 2, "inspect takes no --pad"},
};

struct Stored { const char* name; const char* order, *padSize, *args; int code; qint64 written; };
const Stored stored[] = {
    {"stored 56K padding", "0,1,8,9", "1", "", 0, 229376},
    {"--no-settings ignores the store", "0,1,8,9", "1", "--no-settings", 0, 221184},
    {"an option given wins over the store", "0,1,8,9", "1", "--pad 64k", 0, 262144},
    {"stored order the run cannot use", "0,1,8", "0", "", 3, -1},
};

// Slots as slot:bank@offset+length.
struct Inspected { const char* name; QByteArray image; const char* lengthClass, *padding, *slotBanks, *refusal; };
const Inspected inspections[] = {
    {"88K, bank 1 first", Image88K(Bank1(32 * K), Bank8()), "88K", "", "1:1@0+32768 8:8@32768+57344", ""},
    {"256K front padding", Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true), "256K", "front", "0:0@8192+57344 1:1@73728+57344 8:8@139264+57344 9:9@204800+57344", ""},
    {"256K rear padding", Image256K({Bank1(), Bank0(), Bank9(), Bank8()}, false), "256K", "rear", "0:1@0+57344 1:0@65536+57344 8:9@131072+57344 9:8@196608+57344", ""},
    {"224K with slot 0 blank", Image224K({Fill(56 * K, 0xFF), Bank1(), Bank8(), Bank9()}), "224K", "", "", "slot 0 begins FF FF"},
    {"256K without a padding mark", Image256K({Bank0(), Bank0(), Bank9(), Bank0()}, true), "256K", "", "", "no slot begins 27 FE or FF FA, neither at its start nor 8K into it"},
    {"length of no layout", Body(256 * K + 1, 0x10), "", "", "", "no image layout has this length"},
};
// clang-format on

}  // namespace

class TestCli : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void convertWritesWhatTheWindowWrites_data() { addRows(layouts); }
  void convertWritesWhatTheWindowWrites() {
    QFETCH(int, row);
    const Layout& l = layouts[row];
    RunFixture f;
    putSamples(f);
    auto& s = ConversionSettings;
    s.PadSize = l.padSize, s.PadType = l.padType, s.OutOrder = l.order, s.PadValue = l.fill;
    s.Bank1Only = l.bank1Only, s.Limit32K = l.limit32K;
    f.reorder();
    const QString cliTarget = f.root() + QStringLiteral("/cli/");
    QDir().mkpath(cliTarget);

    const Result r = cli(
        QStringList{"convert", f.source(), cliTarget, "--no-settings"} + words(l.args), f.store());
    QCOMPARE(r.code, 1);  // the file of unknown length is skipped
    QCOMPARE(RunFixture::snapshot(cliTarget), RunFixture::snapshot(f.target()));
    QCOMPARE(r.out, QStringLiteral("7 total files were processed. 6 files were converted and  1 "
                                   "were skipped.\n"));
    QCOMPARE(r.err, QString());
  }

  void refusalsTouchNothing_data() { addRows(refusals); }
  void refusalsTouchNothing() {
    QFETCH(int, row);
    RunFixture f;
    putSamples(f);
    f.putTarget(QStringLiteral("two_bank_88k.BIN"), "old");
    const auto before = RunFixture::snapshot(f.target());
    QStringList args;
    for (QString word : words(refusals[row].args)) {
      word.replace(QStringLiteral("%S"), f.source()).replace(QStringLiteral("%T"), f.target());
      args << word.replace(QStringLiteral("%M"), f.root() + QStringLiteral("/missing/"));
    }
    const Result r = cli(args, f.store());
    QCOMPARE(r.code, refusals[row].code);
    QVERIFY2(r.err.contains(QString::fromUtf8(refusals[row].err)), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(RunFixture::snapshot(f.target()), before);
  }

  void jsonReportsEveryFile_data() {
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<QString>("existing");  // the outcome of the file whose target exists
    QTest::addColumn<QString>("summary");
    const QString summary = json(
        "{'converted':%1,'dryRun':%2,'end':'completed','message':'8 total files were processed. "
        "%1 files were converted and  %3 were skipped.','refused':2,'skipped':%3,'total':8,"
        "'type':'summary'}");
    QTest::newRow("converting") << false << "skipped" << summary.arg(5).arg("false").arg(3);
    QTest::newRow("dry run: writes nothing, asks nothing")
        << true << "converted" << summary.arg(6).arg("true").arg(2);
  }
  void jsonReportsEveryFile() {
    QFETCH(bool, dryRun);
    QFETCH(QString, existing);
    QFETCH(QString, summary);
    RunFixture f;
    putSamples(f);
    f.putSource(QStringLiteral("blank.BIN"),
                Image224K({Fill(56 * K, 0xFF), Bank1(), Bank8(), Bank9()}));
    f.putTarget(QStringLiteral("two_bank_88k.BIN"), "old");
    const auto before = RunFixture::snapshot(f.target());
    QStringList args{"convert", f.source(), f.target(), "--no-settings", "--json"};
    if (dryRun) args << "--dry-run";
    const Result r = cli(args, f.store());
    QCOMPARE(r.code, 1);

    QStringList lines, outcomes;
    for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts)) {
      QJsonParseError error{};
      const QJsonObject object = QJsonDocument::fromJson(line.toUtf8(), &error).object();
      QCOMPARE(error.error, QJsonParseError::NoError);
      lines << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
      if (object[u"type"].toString() == u"file") {
        outcomes << object[u"name"].toString() + u' ' + object[u"outcome"].toString();
      }
    }
    QCOMPARE(outcomes,
             QStringList({"blank.BIN refused", "four_bank_216k.bin converted",
                          "four_bank_224k.bin converted", "front_padded_256k.bin converted",
                          "rear_padded_256k.bin converted", "two_bank_112k.bin converted",
                          "two_bank_88k.bin " + existing, "unknown_length.bin refused"}));
    QCOMPARE(lines.first(),
             json("{'class':'224K','name':'blank.BIN','outcome':'refused',"
                  "'reason':'slot 0 begins FF FF','target':'blank.BIN','type':'file'}"));
    QCOMPARE(lines.last(), summary);
    QCOMPARE(RunFixture::snapshot(f.target()).size(), dryRun ? 1 : 6);
    if (dryRun) QCOMPARE(RunFixture::snapshot(f.target()), before);
  }

  void storedSettingsAreReadNeverWritten_data() { addRows(stored); }
  void storedSettingsAreReadNeverWritten() {
    QFETCH(int, row);
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    for (const auto& [key, value] :
         {std::pair{"OutOrder", stored[row].order}, std::pair{"PadSize", stored[row].padSize}})
      SaveSetting(QStringLiteral("Quillet"), QStringLiteral("User"), key, value);
    const auto store = f.store().contents();
    const Result r =
        cli(QStringList{"convert", f.source(), f.target()} + words(stored[row].args), f.store());
    QCOMPARE(r.code, stored[row].code);
    const QFileInfo written(f.target() + QStringLiteral("a.BIN"));
    QCOMPARE(written.exists() ? written.size() : -1, stored[row].written);
    QCOMPARE(f.store().contents(), store);
  }

  void inspectTellsWhatIsRecognised_data() { addRows(inspections); }
  void inspectTellsWhatIsRecognised() {
    QFETCH(int, row);
    const Inspected& expected = inspections[row];
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    WriteFile(path, expected.image);
    const Result r = cli({"inspect", "--json", path}, TemporarySettingsStore());
    QCOMPARE(r.code, *expected.refusal ? 1 : 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o[u"class"].toString(), QString::fromLatin1(expected.lengthClass));
    QCOMPARE(o[u"padding"].toString(), QString::fromLatin1(expected.padding));
    QStringList found;
    for (const QJsonValue v : o[u"slots"].toArray()) {
      const QJsonObject s = v.toObject();
      found << QStringLiteral("%1:%2@%3+%4")
                   .arg(s[u"slot"].toInt())
                   .arg(s[u"bank"].toInt())
                   .arg(s[u"offset"].toInteger())
                   .arg(s[u"length"].toInteger());
    }
    QCOMPARE(found.join(u' '), QString::fromLatin1(expected.slotBanks));
    QCOMPARE(o[u"refusal"].toString(), QString::fromUtf8(expected.refusal));
  }

  void versionAndHelp() {
    const TemporarySettingsStore store;
    QCOMPARE(cli({"--version"}, store).out, QStringLiteral("Quillet - v1.02.0000 (1.2.0)\n"));
    const Result help = cli({"--help"}, store);
    QCOMPARE(help.code, 0);
    for (const OutputPreset& preset : OutputPresets)
      QVERIFY(help.out.contains(QString::fromLatin1(preset.caption)));
    QVERIFY(help.out.contains(QStringLiteral("4  stopped by the user")));
  }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
