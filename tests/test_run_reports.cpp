// What a run tells of every file: a dry run's predictions come true in the real run, and a
// file left out by a fault of the disk is told with the system's own reason.
#include <QtTest>
#include <functional>

#include "batch/BatchRun.h"
#include "settings/modGlobals.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/RecordingFrontEnd.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"

using namespace Qt::StringLiterals;
using namespace ImageBuilder;
using NativeFile::Change;

namespace {

struct Folders {
  QTemporaryDir dir;
  QString source() const { return dir.path() + u"/src/"_s; }
  QString target() const { return dir.path() + u"/dst/"_s; }
  Folders() {
    QDir(dir.path()).mkpath(u"src"_s);
    QDir(dir.path()).mkpath(u"dst"_s);
  }
};

ConversionSettingsRecord settingsFor(const Folders& f, quint8 overwrite) {
  ConversionSettingsRecord s;
  s.Source = f.source();
  s.Target = f.target();
  s.SourceExt = s.TargetExt = u".BIN"_s;
  s.OutOrder = u"0,1,8,9"_s;
  s.PadValue = u"FF"_s;
  s.Overwrite = overwrite;
  return s;
}

// A dry run's words for a file, as the real run says them once it came true.
QString cameTrue(const QString& line) {
  const QString name = line.section(u": "_s, 0, 0);
  QString said = line.section(u": "_s, 1);
  for (const auto& [would, did] : {std::pair{"would be written as ", "converted into "},
                                   std::pair{"would replace ", "replaced "},
                                   std::pair{"would ask whether to replace ", "replaced "}}) {
    if (said.startsWith(QLatin1String(would)))
      said = QLatin1String(did) + said.mid(int(strlen(would)));
  }
  if (said.startsWith(u"would keep the existing "_s))
    said = u"skipped, the target exists and was kept"_s;
  return name + u": "_s + said;
}

// clang-format off
// The source folder holds a.BIN and b.BIN (images) and c.BIN (no layout's length); the target
// folder holds b.BIN. A row arranges more, may make the disk fail (its dry run then cannot know),
// and gives the real run's lines; %E stands for the system's reason for the row's error.
struct Row { const char* name; quint8 overwrite; std::function<void(Folders&, DiskRecorder&)> arrange; bool foreseeable; const char* lines; const char* passedOver = ""; int error = 0; };
const Row rows[] = {
    {"never: the existing target is kept", NeverOverwrite, {}, true, "a.BIN: converted into a.BIN | b.BIN: skipped, the target exists and was kept | c.BIN: refused, no image layout has this length"},
    {"always: the existing target is replaced", AlwaysOverwrite, {}, true, "a.BIN: converted into a.BIN | b.BIN: replaced b.BIN | c.BIN: refused, no image layout has this length"},
    {"ask: Yes replaces", AskToOverwrite, {}, true, "a.BIN: converted into a.BIN | b.BIN: replaced b.BIN | c.BIN: refused, no image layout has this length"},
    {"a folder, and a hidden file, with the extension are passed over, not counted", NeverOverwrite, [](Folders& f, DiskRecorder&) {
       QDir(f.source()).mkdir(u"d.BIN"_s);
       WriteFile(f.source() + u".e.BIN"_s, FourBankImage());
       Hide(f.source() + u".e.BIN"_s); },
     true, "a.BIN: converted into a.BIN | b.BIN: skipped, the target exists and was kept | c.BIN: refused, no image layout has this length", ".e.BIN: it is hidden | d.BIN: it is a folder"},
    {"a full disk: the system's reason", AlwaysOverwrite, [](Folders&, DiskRecorder& disk) { disk.Fail(Change::Write, DiskFullError(), 100); },
     false, "a.BIN: skipped, the target could not be written: %E | b.BIN: skipped, the target could not be written: %E | c.BIN: refused, no image layout has this length", "", DiskFullError()},
    {"a flush that fails: the system's reason", NeverOverwrite, [](Folders&, DiskRecorder& disk) { disk.flushesAsWhole = false; disk.Fail(Change::FlushFile, DiskIoError()); },
     false, "a.BIN: skipped, the target could not be written to the disk: %E | b.BIN: skipped, the target exists and was kept | c.BIN: refused, no image layout has this length", "", DiskIoError()},
};
// clang-format on

}  // namespace

class RunReportsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void predictionsComeTrue_data() { addRows(rows); }
  void predictionsComeTrue() {
    QFETCH(int, row);
    const Row& r = rows[row];
    Folders f;
    QVERIFY(WriteFile(f.source() + u"a.BIN"_s, FourBankImage()));
    QVERIFY(WriteFile(f.source() + u"b.BIN"_s, FourBankImage()));
    QVERIFY(WriteFile(f.source() + u"c.BIN"_s, "short"));
    QVERIFY(WriteFile(f.target() + u"b.BIN"_s, "old"));
    // A dry run writes and flushes nothing: the faults meet the real run alone.
    DiskRecorder disk;
    if (r.arrange) r.arrange(f, disk);
    const ConversionSettingsRecord settings = settingsFor(f, r.overwrite);
    QStringList names;
    QList<NativeFile::FolderEntry> passedOver;
    QVERIFY(!ListSourceFolder(f.source(), settings.SourceExt, &names, &passedOver));
    RecordingFrontEnd dry, real;
    BatchRun(dry, {.dryRun = true}, settings, names, passedOver).Go();
    BatchRun(real, {}, settings, names, passedOver).Go();
    // The system's words for the error, as the run quotes them.
    const QString expected =
        QString::fromLatin1(r.lines).replace(u"%E"_s, qt_error_string(r.error).trimmed());
    QCOMPARE(real.Lines(false).join(u" | "_s), expected);
    QCOMPARE(real.passedOver.join(u" | "_s), QString::fromLatin1(r.passedOver));
    QCOMPARE(real.messages.last().title, u"Operation Complete"_s);
    if (r.foreseeable) {
      QStringList predicted;
      for (const QString& line : dry.Lines(true)) predicted.append(cameTrue(line));
      QCOMPARE(predicted, real.Lines(false));
      QCOMPARE(dry.messages.last().prompt, real.messages.last().prompt);
    }
    QCOMPARE(QDir(f.target()).entryList({u".~quillet-*"_s}, QDir::Files | QDir::Hidden),
             QStringList());
  }
};

QTEST_GUILESS_MAIN(RunReportsTest)
#include "test_run_reports.moc"
