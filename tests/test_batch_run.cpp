// The batch run: folder checks, overwrite policy, counters, the summary, stopping, and never
// losing or half-writing a file. What a run tells of every file: a dry run's predictions come
// true in the real run, and a file left out by a fault of the disk is told with the system's own
// reason.
#include <QLabel>
#include <QtTest>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include "batch/BatchRun.h"
#include "settings/modGlobals.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/RecordingFrontEnd.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/frmProcess.h"
#include "ui/frm_Main.h"

using namespace Qt::StringLiterals;
using namespace ImageBuilder;
using NativeFile::Change;
using Toolkit::Answer;

namespace {

// FourBankImage() as a run writes it, without padding.
const QByteArray Converted = Bank0() + Bank1(48 * K) + Bank8() + Bank9();

QString summary(int total, int converted, int skipped) {
  return QString::asprintf(
      " %d total files were processed. \n\n %d files were converted and  %d were skipped.", total,
      converted, skipped);
}

QString lastPrompt(const MessageRecorder& messages) {
  return messages.shown.isEmpty() ? QString() : messages.shown.last().prompt;
}

void link(const QString& to, const QString& at) {
  QVERIFY(QFile::link(to, at));
}

// A named pipe at a link in the source folder.
void pipeAt(const QString& at, RunFixture& f) {
#ifdef Q_OS_UNIX
  QVERIFY(mkfifo(QFile::encodeName(f.root() + "/pipe"), 0600) == 0);
#endif
  link(f.root() + "/pipe", at);
}

// Runs through the main window, which leaves no run going and no progress window open.
void reorder(RunFixture& f) {
  f.reorder();
  QVERIFY(!Processing);
  QVERIFY(!Forms::frmProcess.loaded());
}

// clang-format off
// Sources in the source folder (or, with paths, given as paths below the fixture's root %R), the
// first of which holds FourBankImage() and the others another image; the policy, whether the
// user's own target a.BIN stands there, and what the target folder is told of letter case (unset:
// as its file system is). The real run's lines, questions answered Yes; the dry run foretells
// them. A target name is taken once per run: a second source is never written over the first,
// asked about it, nor told as a kept file of the user's.
struct Clash { const char* name; QStringList sources; bool paths; quint8 overwrite; bool existing; std::optional<bool> ignoresCase; const char* lines; int questions; };
const char* const SecondSkipped = "a.BIN: converted into a.BIN | a.bin: skipped, another file of this run is written as a.BIN: a.BIN";
const Clash clashes[] = {
    {"a.BIN and a.bin, never: the second is no kept target", {"a.BIN", "a.bin"}, false, NeverOverwrite, false, {}, SecondSkipped, 0},
    {"a.BIN and a.bin, always: the second does not replace the first", {"a.BIN", "a.bin"}, false, AlwaysOverwrite, false, {}, SecondSkipped, 0},
    {"a.BIN and a.bin, ask: nothing asked about the run's own file", {"a.BIN", "a.bin"}, false, AskToOverwrite, false, {}, SecondSkipped, 0},
    {"ask with the user's a.BIN: asked once, for the first", {"a.BIN", "a.bin"}, false, AskToOverwrite, true, {}, "a.BIN: replaced a.BIN | a.bin: skipped, another file of this run is written as a.BIN: a.BIN", 1},
    {"never with the user's a.BIN: both keep it", {"a.BIN", "a.bin"}, false, NeverOverwrite, true, {}, "a.BIN: skipped, the target exists and was kept | a.bin: skipped, the target exists and was kept", 0},
    {"two paths of one file name", {"d1/x.BIN", "d2/x.BIN"}, true, AlwaysOverwrite, false, {}, "%R/d1/x.BIN: converted into x.BIN | %R/d2/x.BIN: skipped, another file of this run is written as x.BIN: %R/d1/x.BIN", 0},
    {"A.bin and a.bin into a folder that ignores case", {"A.bin", "a.bin"}, false, AlwaysOverwrite, false, true, "A.bin: converted into A.BIN | a.bin: skipped, another file of this run is written as A.BIN: A.bin", 0},
    {"A.bin and a.bin into a folder that tells case apart", {"A.bin", "a.bin"}, false, AlwaysOverwrite, false, false, "A.bin: converted into A.BIN | a.bin: converted into a.BIN", 0},
};

// Sources f1 to f5 under "ask"; the targets numbered in `old` exist. The progress window is
// closed at question `closeAt` (0: never); the close waits for the next file's event point.
// Each message is logged with the converted targets in place as it shows: nothing written waits
// on a question, which the user may take hours to answer.
struct Stop { const char* name; const char* old; QList<Answer> answers; int closeAt, total, converted, skipped; const char* log; };
const Stop stops[] = {
    {"Cancel in the overwrite question stops after that file", "12345", {Answer::Yes, Answer::No, Answer::Cancel}, 0, 3, 1, 1, "Confirm Overwrite?: | Confirm Overwrite?:f1 | Confirm Overwrite?:f1 | Operation Complete:f1"},
    {"a close confirmed stops once the next file is done", "3", {Answer::Yes, Answer::Yes}, 1, 4, 4, 0, "Confirm Overwrite?:f1,f2 | Cancel Operation?:f1,f2,f3 | Operation Complete (window closed):f1,f2,f3,f4"},
    {"a close refused lets the run go on", "3", {Answer::Yes, Answer::No}, 1, 5, 5, 0, "Confirm Overwrite?:f1,f2 | Cancel Operation?:f1,f2,f3 | Operation Complete:f1,f2,f3,f4,f5"},
};

// The one message a run shows: a refusal before the first file, whose prompt is compared whole
// with %1 standing for the target folder and %2 for the target extension, or the summary.
struct Said { QString title, prompt; };
Said done(int total, int converted, int skipped) { return {"Operation Complete", summary(total, converted, skipped)}; }
const Said SameFolders{"Folder Error", "The Source and Target folders/extensions are the same.\nPlease change one of the folders/extensions before continuing."};
const Said TemporaryExtension{"Extension Error", "The Target extension would give a target the name of a run's temporary file:\n%2\nPlease choose another target extension."};
const Said BadExtension{"Extension Error", "The Target extension cannot be used in a file name:\n%2\nAn extension may not hold a path separator, \"..\" or a character that file names cannot hold."};

// The source folder holds a.BIN, the target folder an unrelated keep.tmp, the root outside.bin;
// each row sets the overwrite policy and arranges more; questions get Yes. written: the target
// folder's regular files that are new or changed, each of which must hold the converted image.
// Rows may need links, names differing in case told apart or not (Windows), Linux or Windows.
enum class Needs { Nothing, Links, CaseApart, CaseOneName, Linux, Windows };
struct Hazard { const char* name; quint8 overwrite; Needs needs; std::function<void(RunFixture&)> arrange; Said said; QString written; };
const Hazard hazards[] = {
    {"same folder and extension", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { f.setFolders(f.source(), f.source()); }, SameFolders, ""},
    {"same folder through a link", NeverOverwrite, Needs::Links, [](RunFixture& f) { link(f.source(), f.root() + "/link"); f.setFolders(f.source(), f.root() + "/link/"); }, SameFolders, ""},
    {"order with three pieces", NeverOverwrite, Needs::Nothing, [](RunFixture&) { ConversionSettings.OutOrder = "0,1,8"; }, {"Format Error", "Invalid Bank Order format. Re-enter"}, ""},
    {"pad value that is no hex", NeverOverwrite, Needs::Nothing, [](RunFixture&) { ConversionSettings.PadSize = Padding56K, ConversionSettings.PadValue = "ZZ"; }, {"Format Error", "Invalid Pad Value format. Re-enter"}, ""},
    {"target folder missing", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { f.setFolders(f.source(), f.root() + "/gone/"); }, {"Folder Error", "The Target folder does not exist or cannot be read:\n%1\nPlease choose another target folder."}, ""},
    // Even root may create nothing in /proc.
    {"target folder that takes no new files", NeverOverwrite, Needs::Linux, [](RunFixture& f) { f.setFolders(f.source(), "/proc/sys/"); }, {"Folder Error", "The Target folder cannot be written:\n%1\nPlease choose another target folder."}, ""},
    {"target extension that leads out of the folder", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { f.setExtensions(".BIN", "/../../outside.BIN"); }, BadExtension, ""},
    {"target extension with two dots in a row", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { f.setExtensions(".BIN", ".BIN.."); }, BadExtension, ""},
    {"target extension ending a temporary file's name", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { f.setExtensions(".BIN", ".TMP~"); }, TemporaryExtension, ""},
    {"target extension that is a temporary file's whole name", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { f.setExtensions(".BIN", ".~quillet-a1B2c3.tmp~"); }, TemporaryExtension, ""},
    {"a file named as the temporaries of old is the user's and stays", AlwaysOverwrite, Needs::Nothing, [](RunFixture& f) { f.putTarget(".~quillet-ABCDEF.tmp", "the user's"); f.putTarget(".~quillet-ABCDEF.tmp~x", "the user's"); }, done(1, 1, 0), "a.BIN"},
    {"an unknown overwrite code keeps the target", 9, Needs::Nothing, [](RunFixture& f) { f.putTarget("a.BIN", "old"); }, done(1, 0, 1), ""},
    {"links at targets, to another source or a file outside, are replaced, not followed", AlwaysOverwrite, Needs::Links, [](RunFixture& f) { f.putSource("b.BIN", FourBankImage()); f.putSource("c.BIN", FourBankImage()); link(f.source() + "b.BIN", f.target() + "a.BIN"); link(f.root() + "/outside.bin", f.target() + "c.BIN"); }, done(3, 3, 0), "a.BIN b.BIN c.BIN"},
    {"dangling link at the target is an existing target", NeverOverwrite, Needs::Links, [](RunFixture& f) { link(f.root() + "/nowhere.bin", f.target() + "a.BIN"); }, done(1, 0, 1), ""},
    {"dangling link at the target is replaced itself", AlwaysOverwrite, Needs::Links, [](RunFixture& f) { link(f.root() + "/nowhere.bin", f.target() + "a.BIN"); }, done(1, 1, 0), "a.BIN"},
    {"link to a pipe is not listed", AlwaysOverwrite, Needs::Links, [](RunFixture& f) { pipeAt(f.source() + "p.BIN", f); }, done(1, 1, 0), "a.BIN"},
    {"name of three characters leaves no target name", AlwaysOverwrite, Needs::Nothing, [](RunFixture& f) { QFile::rename(f.source() + "a.BIN", f.source() + "a.b"); f.setExtensions(".b", ".BIN"); }, done(1, 0, 1), ""},
    {"target name too long to create", AlwaysOverwrite, Needs::Nothing, [](RunFixture& f) { f.setExtensions(".BIN", u'.' + QString(255, u'X')); }, done(1, 0, 1), ""},
    {"folder in the target's place", AlwaysOverwrite, Needs::Nothing, [](RunFixture& f) { QVERIFY(QDir(f.target()).mkdir("a.BIN")); }, done(1, 0, 1), ""},
    {"link to a folder in the target's place is left alone, not asked about", AskToOverwrite, Needs::Links, [](RunFixture& f) { QVERIFY(QDir(f.root()).mkdir("elsewhere")); link(f.root() + "/elsewhere", f.target() + "a.BIN"); }, done(1, 0, 1), ""},
    {"source that is a link to the file at its target's name", AlwaysOverwrite, Needs::Links, [](RunFixture& f) { QFile::remove(f.source() + "a.BIN"); f.putTarget("a.BIN", Image112K(Bank8(), Bank1())); link(f.target() + "a.BIN", f.source() + "a.BIN"); }, done(1, 0, 1), ""},
    {"folders stored without their separator", NeverOverwrite, Needs::Nothing, [](RunFixture&) { ConversionSettings.Source.chop(1); ConversionSettings.Target.chop(1); }, done(1, 1, 0), "a.BIN"},
    {"wildcards in a name are letters, not a pattern", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { QFile::rename(f.source() + "a.BIN", f.source() + "a?.BIN"); f.putTarget("ab.BIN", "unrelated"); }, done(1, 1, 0), "a?.BIN"},
    {"name of 255 characters", NeverOverwrite, Needs::Nothing, [](RunFixture& f) { QFile::rename(f.source() + "a.BIN", f.source() + QString(251, u'n') + ".BIN"); }, done(1, 1, 0), QString(251, u'n') + ".BIN"},
    {"read-only target is kept, not asked about", AskToOverwrite, Needs::Nothing, [](RunFixture& f) { f.putTarget("a.BIN", "old"); QFile::setPermissions(f.target() + "a.BIN", QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther); }, done(1, 0, 1), ""},
    {"a target held open is kept, with nothing beside it", AlwaysOverwrite, Needs::Windows, [](RunFixture& f) { f.putTarget("a.BIN", "old"); QVERIFY((new QFile(f.target() + "a.BIN", f.main()))->open(QIODevice::ReadOnly)); }, done(1, 0, 1), ""},
    {"same folder: a target that is another source is skipped", AlwaysOverwrite, Needs::CaseApart, [](RunFixture& f) { f.putSource("a.bin", Image112K(Bank8(), Bank1())); f.setFolders(f.source(), f.source()); f.setExtensions(".BIN", ".bin"); }, done(2, 0, 2), ""},
    {"same folder: a name differing in case from a source is no source", AlwaysOverwrite, Needs::CaseApart, [](RunFixture& f) { QFile::rename(f.source() + "a.BIN", f.source() + "A.BIN"); f.setFolders(f.source(), f.source()); f.setExtensions(".BIN", ".bin"); }, done(1, 1, 0), "A.bin"},
    {"same folder in other letters: a name differing in case is the source itself", AlwaysOverwrite, Needs::CaseOneName, [](RunFixture& f) { f.setFolders(f.source(), f.source().toUpper()); f.setExtensions(".BIN", ".bin"); }, done(1, 0, 1), ""},
};
// clang-format on

ConversionSettingsRecord settingsFor(const RunFixture& f, quint8 overwrite) {
  return {f.source(), f.target(), u".BIN"_s, u".BIN"_s, u"0,1,8,9"_s, 0,
          0,          0,          0,         u"FF"_s,   overwrite};
}

// A dry run's words for each file, as the real run says them once they came true.
QStringList cameTrue(const RecordingFrontEnd& dry) {
  QStringList lines;
  for (const QString& line : dry.Lines(true)) {
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
    lines.append(name + u": "_s + said);
  }
  return lines;
}

// clang-format off
// The source folder holds a.BIN and b.BIN (images) and c.BIN (no layout's length); the target
// folder holds b.BIN. A row arranges more, may make the disk fail (its dry run then cannot know),
// and gives the real run's lines; %E stands for the system's reason for the row's error.
struct Report { const char* name; quint8 overwrite; std::function<void(RunFixture&, DiskRecorder&)> arrange; bool foreseeable; const char* lines; const char* passedOver = ""; int error = 0; QString targetExt = ".BIN"; };
const Report reports[] = {
    {"always: the existing target is replaced", AlwaysOverwrite, {}, true, "a.BIN: converted into a.BIN | b.BIN: replaced b.BIN | c.BIN: refused, no image layout has this length"},
    {"a folder, and a hidden file, with the extension are passed over, not counted", NeverOverwrite, [](RunFixture& f, DiskRecorder&) {
       QDir(f.source()).mkdir(u"d.BIN"_s);
       WriteFile(f.source() + u".e.BIN"_s, FourBankImage());
       Hide(f.source() + u".e.BIN"_s); },
     true, "a.BIN: converted into a.BIN | b.BIN: skipped, the target exists and was kept | c.BIN: refused, no image layout has this length", ".e.BIN: it is hidden | d.BIN: it is a folder"},
    {"a full disk: the system's reason", AlwaysOverwrite, [](RunFixture&, DiskRecorder& disk) { disk.Fail(Change::Write, DiskFullError(), 100); },
     false, "a.BIN: skipped, the target could not be written: %E | b.BIN: skipped, the target could not be written: %E | c.BIN: refused, no image layout has this length", "", DiskFullError()},
    {"a flush that fails: the system's reason", NeverOverwrite, [](RunFixture&, DiskRecorder& disk) { disk.flushesAsWhole = false; disk.Fail(Change::FlushFile, DiskIoError()); },
     false, "a.BIN: skipped, the target could not be written to the disk: %E | b.BIN: skipped, the target exists and was kept | c.BIN: refused, no image layout has this length", "", DiskIoError()},
    {"a target name longer than the file system takes: the system's reason", AlwaysOverwrite, {}, true, "a.BIN: skipped, the target's name cannot be looked up: %E | b.BIN: skipped, the target's name cannot be looked up: %E | c.BIN: refused, no image layout has this length", "", NameTooLongError(), u'.' + QString(255, u'X')},
};
// clang-format on

}  // namespace

class BatchRunTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  // Only ordinary files of the source extension, in any letter case, are listed, by name.
  void convertsEveryListedFileAndSummarises() {
    RunFixture f;
    for (const char* name : {"a.BIN", "A.bin", "x.txt"}) f.putSource(name, FourBankImage());
    f.putSource("b.BIN", Image88K(Bank1(32 * K), Bank8()));
    f.putSource("c.BIN", Body(1000, 0x10));  // no layout has this length
    if (CanLink) link(f.source() + "gone", f.source() + "dead.BIN");
    f.setExtensions(".bin", ".OUT");
    ConversionSettings.PadSize = Padding64K;
    ConversionSettings.PadType = FrontPadding;
    QString seen;  // as the summary shows: the progress text, the files listed and their count
    f.messages.onShow = [&](const Toolkit::Message&) {
      seen = QStringLiteral("%1 | %2 | %3")
                 .arg(Forms::frmProcess.loaded()->lblInfo->text(), FileList.join(u' '))
                 .arg(FileCount);
    };
    reorder(f);

    // Where case does not tell names apart, A.bin was written into a.BIN.
    QStringList expected{"a.BIN", "b.BIN", "c.BIN"}, written{"a.OUT", "b.OUT"};
    if (TellsCaseApart(f.source())) expected.prepend("A.bin"), written.prepend("A.OUT");
    const int n = static_cast<int>(expected.size());
    QCOMPARE(lastPrompt(f.messages), summary(n, n - 1, 1));
    // The current file counts as remaining, and the words stay plural.
    QCOMPARE(seen, QStringLiteral("Processing %1 files. 1 files are remaining. | %2 | %1")
                       .arg(n)
                       .arg(expected.join(u' ')));
    const auto targets = RunFixture::snapshot(f.target());
    QCOMPARE(targets.keys(), written);
    QVERIFY(targets.value("b.OUT") ==
            Fill(72 * K, 0xFF) + Bank1(32 * K) + Fill(32 * K, 0xFF) + Bank8() + Fill(64 * K, 0xFF));
  }

  void stopping_data() { addRows(stops); }
  void stopping() {
    QFETCH(int, row);
    const Stop& s = stops[row];
    RunFixture f;
    for (char i = '1'; i <= '5'; ++i) {
      f.putSource(QStringLiteral("f%1.BIN").arg(i), FourBankImage());
      if (strchr(s.old, i)) f.putTarget(QStringLiteral("f%1.BIN").arg(i), "old");
    }
    ConversionSettings.Overwrite = AskToOverwrite;
    for (Answer answer : s.answers) f.messages.queue(answer);
    const auto inPlace = [&] {
      QStringList names;
      for (auto [name, data] : RunFixture::snapshot(f.target()).asKeyValueRange())
        if (data == Converted) names << name.chopped(4);
      return names.join(u',');
    };
    QStringList log;
    int questions = 0;
    f.messages.onShow = [&](const Toolkit::Message& message) {
      const QString window = Forms::frmProcess.loaded() ? "" : " (window closed)";
      log << message.title + window + u':' + inPlace();
      if (message.title == "Confirm Overwrite?" && ++questions == s.closeAt)
        QMetaObject::invokeMethod(Forms::frmProcess.loaded(), "close", Qt::QueuedConnection);
    };
    reorder(f);
    QCOMPARE(log.join(" | "), QString::fromLatin1(s.log));
    QCOMPARE(inPlace(), log.last().section(u':', 1));  // nothing placed after the summary
    QCOMPARE(lastPrompt(f.messages), summary(s.total, s.converted, s.skipped));
    // The close's question, the second message as the log shows, takes Yes or No alone.
    if (s.closeAt) QCOMPARE(f.messages.shown[1].buttons, Toolkit::Buttons::YesNo);
  }

  void predictionsComeTrue_data() { addRows(reports); }
  void predictionsComeTrue() {
    QFETCH(int, row);
    const Report& r = reports[row];
#ifdef Q_OS_WIN
    // Wine answers a name too long as a name not there; Windows' own answer is not known here.
    if (r.targetExt.size() > 255) QSKIP("a name too long is told apart on Linux only");
#endif
    RunFixture f;
    for (const char* name : {"a.BIN", "b.BIN"}) f.putSource(name, FourBankImage());
    f.putSource("c.BIN", "short");
    f.putTarget("b.BIN", "old");
    // A dry run writes and flushes nothing: the faults meet the real run alone.
    DiskRecorder disk;
    if (r.arrange) r.arrange(f, disk);
    ConversionSettingsRecord settings = settingsFor(f, r.overwrite);
    settings.TargetExt = r.targetExt;
    RecordingFrontEnd dry, real;
    dry.runOver(settings, {.dryRun = true});
    real.runOver(settings);
    // The system's words for the error, as the run quotes them.
    const QString expected =
        QString::fromLatin1(r.lines).replace(u"%E"_s, qt_error_string(r.error).trimmed());
    QCOMPARE(real.Lines(false).join(u" | "_s), expected);
    QCOMPARE(real.passedOver.join(u" | "_s), QString::fromLatin1(r.passedOver));
    QCOMPARE(real.messages.last().title, u"Operation Complete"_s);
    if (r.foreseeable) {
      QCOMPARE(cameTrue(dry), real.Lines(false));
      QCOMPARE(dry.messages.last().prompt, real.messages.last().prompt);
    }
    QCOMPARE(QDir(f.target()).entryList({u".~quillet-*"_s}, QDir::Files | QDir::Hidden),
             QStringList());
  }

  void targetNamesTakenOnce_data() {
    addRows(clashes);
  }
  void targetNamesTakenOnce() {
    QFETCH(int, row);
    const Clash& c = clashes[row];
    RunFixture f;
    const QString root = f.root();
    if (!c.paths && !TellsCaseApart(f.source()))
      QSKIP("the source folder takes names differing only in case for one name");
    QStringList given;
    for (const QString& name : c.sources) {
      const QString path = (c.paths ? root + u'/' : f.source()) + name;
      QDir().mkpath(QFileInfo(path).path());
      QVERIFY(WriteFile(path, given.isEmpty() ? FourBankImage() : Image112K(Bank8(), Bank1())));
      given << path;
    }
    if (c.existing) f.putTarget("a.BIN", "the user's");
    DiskRecorder disk;  // tells the target folder's letter case as the row has it
    disk.ignoresCase = c.ignoresCase;
    ConversionSettingsRecord settings = settingsFor(f, c.overwrite);
    settings.SourceExt = u".bin"_s;
    RecordingFrontEnd dry, real;
    const auto run = [&](RecordingFrontEnd& frontEnd, bool dryRun) {
      if (!c.paths) return frontEnd.runOver(settings, {.dryRun = dryRun});
      BatchRun(frontEnd, {.dryRun = dryRun, .listedPaths = true}, settings, given).Go();
    };
    run(dry, true);
    run(real, false);
    QCOMPARE(real.Lines(false).join(u" | "_s), QString::fromLatin1(c.lines).replace("%R", root));
    QCOMPARE(cameTrue(dry), real.Lines(false));
    int questions = 0;
    for (const Toolkit::Message& m : real.messages) questions += m.buttons != Toolkit::Buttons::OK;
    QCOMPARE(questions, c.questions);
    // The first source's target holds its image, or the user's kept file its own bytes.
    const FileReport& first = real.reports[0];
    QCOMPARE(ReadFile(f.target() + first.targetName),
             first.outcome == FileOutcome::Converted ? Converted : QByteArray("the user's"));
  }

  // A run is refused before it touches a file, or whatever stands in the folders, writes only
  // regular files into the target folder and never touches what a link points to.
  void refusalsAndHazards_data() {
    addRows(hazards);
  }
  void refusalsAndHazards() {
    QFETCH(int, row);
    const Hazard& h = hazards[row];
    if (h.needs == Needs::Links && !CanLink) QSKIP(NoLinks);
#ifndef Q_OS_LINUX
    if (h.needs == Needs::Linux) QSKIP("no folder here refuses every user");
#endif
#ifndef Q_OS_WIN
    if (h.needs == Needs::Windows) QSKIP("an open file can be replaced here");
#endif
    RunFixture f;
    if ((h.needs == Needs::CaseApart || h.needs == Needs::CaseOneName) &&
        TellsCaseApart(f.source()) != (h.needs == Needs::CaseApart)) {
      QSKIP("names differing only in case are told apart on some file systems only");
    }
    f.putSource("a.BIN", FourBankImage());
    f.putTarget("keep.tmp", "keep");
    WriteFile(f.root() + "/outside.bin", "outside");
    ConversionSettings.Overwrite = h.overwrite;
    h.arrange(f);
    if (h.written.contains(u'?') && !QFile::exists(f.source() + h.written))
      QSKIP("this file system takes no ? in a name (Windows)");
    const QString sourceSetting = ConversionSettings.Source;
    const QString target = FolderWithSeparator(ConversionSettings.Target);
    const auto sources = RunFixture::snapshot(f.source());
    const auto targets = RunFixture::snapshot(target);
    const auto outside = RunFixture::snapshot(f.root());
    reorder(f);

    QCOMPARE(f.messages.titles(), QStringList{h.said.title});
    QCOMPARE(f.messages.shown[0].prompt, QString(h.said.prompt)
                                             .replace("%1", ConversionSettings.Target)
                                             .replace("%2", ConversionSettings.TargetExt));
    QCOMPARE(RunFixture::snapshot(f.root()), outside);  // nothing written beside the folders
    QVERIFY(!QFileInfo::exists(f.root() + "/gone"));
    QCOMPARE(ConversionSettings.Source, sourceSetting);  // the setting stays as written
    const auto after = RunFixture::snapshot(target);
    QStringList written;
    for (auto [name, data] : after.asKeyValueRange()) {
      if (QFileInfo(target + name).isSymLink() || (targets.contains(name) && targets[name] == data))
        continue;
      written << name;
      QVERIFY2(data == Converted, qPrintable(name));
    }
    QCOMPARE(written.join(u' '), h.written);
    for (auto [name, data] : targets.asKeyValueRange())  // every other target stays as it was
      if (!written.contains(name)) QCOMPARE(after.value(name), data);
    // Where the target folder is the source folder, that was the check of the sources.
    if (target != f.source()) QCOMPARE(RunFixture::snapshot(f.source()), sources);
  }

  // Listed sources that vanish or turn into a pipe before their turn are skipped without
  // blocking; a target name repeated a whole batch later, while the first file of that name may
  // still be on its way into place, is skipped as taken.
  void listedFilesAsTheRunFindsThem() {
    RunFixture f;
#ifdef Q_OS_UNIX
    pipeAt(f.source() + "p.BIN", f);
#endif
    FileList = {"a.BIN", "p.BIN"};
    for (int i = 0; i < 65; ++i) {
      FileList << QStringLiteral("f%1.BIN").arg(i, 2, 10, QLatin1Char('0'));
      f.putSource(FileList.last(), FourBankImage());
    }
    FileList << "f00.BIN";
    FileCount = static_cast<qint16>(FileList.size());
    ConversionSettings.Overwrite = NeverOverwrite;
    Forms::frmProcess.get()->StripFiles();
    QCOMPARE(lastPrompt(f.messages), summary(68, 65, 3));
    QCOMPARE(RunFixture::snapshot(f.target()).size(), 65);
    QVERIFY(!QFile::exists(f.source() + "a.BIN"));
  }
};

QTEST_MAIN(BatchRunTest)
#include "test_batch_run.moc"
