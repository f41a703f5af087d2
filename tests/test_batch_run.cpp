// The batch run: folder checks, overwrite policy, counters, the summary,
// stopping, and never losing or half-writing a file.
#include <QFile>
#include <QLabel>
#include <QtTest>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#endif

#include "batch/BatchRun.h"
#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/frmProcess.h"

using namespace ImageBuilder;
using Toolkit::Answer;

namespace {

const qint64 K = 1024;
const QString Prompt = QStringLiteral("Confirm Overwrite?");

// The length of FourBankImage() as a run writes it, without padding.
constexpr qint64 Converted = 216 * 1024;

QString summary(int total, int converted, int skipped) {
  return QString::asprintf(
      " %d total files were processed. \r\n\r\n %d files were converted and  %d were skipped.",
      total, converted, skipped);
}

QString lastPrompt(const MessageRecorder& messages) {
  return messages.shown.isEmpty() ? QString() : messages.shown.last().prompt;
}

void link(const QString& to, const QString& at) {
  QVERIFY(QFile::link(to, at));
}

// A target longer than any image: replacing it must leave none of it.
void oldTarget(RunFixture& f) {
  f.putTarget(QStringLiteral("a.BIN"), QByteArray(300 * K, 'o'));
}

// clang-format off
// What must hold before a run touches its first file. The prompt is compared whole, %1 standing
// for the target folder and %2 for the target extension.
enum class TargetFolder { Own, Source, LinkToSource, Missing, Unwritable };
const char* const SameFolders = "The Source and Target folders/extensions are the same.\r\nPlease change one of the folders/extensions before continuing.";
const char* const BadExtension = "The Target extension cannot be used in a file name:\r\n%2\r\nAn extension may not hold a path separator, \"..\" or a character that file names cannot hold.";
struct Check { const char* name; TargetFolder folder; const char* targetExt; const char* order; const char* pad; const char* title; const char* prompt; };
const Check checks[] = {
    {"same folder and extension", TargetFolder::Source, ".BIN", "0,1,8,9", "FF", "Folder Error", SameFolders},
    {"same folder through a link", TargetFolder::LinkToSource, ".BIN", "0,1,8,9", "FF", "Folder Error", SameFolders},
    {"same folder, extension differing in case", TargetFolder::Source, ".bin", "0,1,8,9", "FF", "Operation Complete", ""},
    {"order with three pieces", TargetFolder::Own, ".BIN", "0,1,8", "FF", "Format Error", "Invalid Bank Order format. Re-enter"},
    {"pad value that is no hex", TargetFolder::Own, ".BIN", "0,1,8,9", "ZZ", "Format Error", "Invalid Pad Value format. Re-enter"},
    {"target folder missing", TargetFolder::Missing, ".BIN", "0,1,8,9", "FF", "Folder Error", "The Target folder does not exist or cannot be read:\r\n%1\r\nPlease choose another target folder."},
    {"target folder that takes no new files", TargetFolder::Unwritable, ".BIN", "0,1,8,9", "FF", "Folder Error", "The Target folder cannot be written:\r\n%1\r\nPlease choose another target folder."},
    {"target extension that leads out of the folder", TargetFolder::Own, "/../../outside.BIN", "0,1,8,9", "FF", "Extension Error", BadExtension},
    {"target extension with two dots in a row", TargetFolder::Own, ".BIN..", "0,1,8,9", "FF", "Extension Error", BadExtension},
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

// The source folder holds a.BIN, the target folder an unrelated keep.tmp, the root outside.bin;
// each row sets the overwrite policy, and question boxes get Yes unless a row queues otherwise.
// written: the target folder's regular files holding a converted image afterwards. letterCase:
// rows only for file systems that tell names differing in case apart, or that do not (Windows).
enum class LetterCase { Any, Apart, OneName };
struct Hazard { const char* name; quint8 overwrite; bool needsLinks; std::function<void(RunFixture&)> arrange; int total, converted, skipped; QString written; LetterCase letterCase = LetterCase::Any; };
const Hazard hazards[] = {
    {"never keeps the target", NeverOverwrite, false, oldTarget, 1, 0, 1, ""},
    {"always replaces the target whole", AlwaysOverwrite, false, oldTarget, 1, 1, 0, "a.BIN"},
    {"ask, Yes replaces the target", AskToOverwrite, false, oldTarget, 1, 1, 0, "a.BIN"},
    {"ask, No keeps the target", AskToOverwrite, false, [](RunFixture& f) { oldTarget(f); f.messages.queue(Answer::No); }, 1, 0, 1, ""},
    {"an unknown overwrite code keeps the target", 9, false, oldTarget, 1, 0, 1, ""},
    {"links at targets, to another source or a file outside, are replaced, not followed", AlwaysOverwrite, true, [](RunFixture& f) {
       f.putSource(QStringLiteral("b.BIN"), FourBankImage());
       f.putSource(QStringLiteral("c.BIN"), FourBankImage());
       link(f.source() + QStringLiteral("b.BIN"), f.target() + QStringLiteral("a.BIN"));
       link(f.root() + QStringLiteral("/outside.bin"), f.target() + QStringLiteral("c.BIN")); },
     3, 3, 0, "a.BIN b.BIN c.BIN"},
    {"dangling link at the target is an existing target", NeverOverwrite, true, [](RunFixture& f) {
       link(f.root() + QStringLiteral("/nowhere.bin"), f.target() + QStringLiteral("a.BIN")); },
     1, 0, 1, ""},
    {"dangling link at the target is replaced itself", AlwaysOverwrite, true, [](RunFixture& f) {
       link(f.root() + QStringLiteral("/nowhere.bin"), f.target() + QStringLiteral("a.BIN")); },
     1, 1, 0, "a.BIN"},
    {"link to a pipe is not listed", AlwaysOverwrite, true, [](RunFixture& f) {
#ifdef Q_OS_UNIX
       QVERIFY(mkfifo(QFile::encodeName(f.root() + QStringLiteral("/pipe")), 0600) == 0);
#endif
       link(f.root() + QStringLiteral("/pipe"), f.source() + QStringLiteral("p.BIN")); },
     1, 1, 0, "a.BIN"},
    {"name of three characters leaves no target name", AlwaysOverwrite, false, [](RunFixture& f) {
       QFile::rename(f.source() + QStringLiteral("a.BIN"), f.source() + QStringLiteral("a.b"));
       f.setExtensions(QStringLiteral(".b"), QStringLiteral(".BIN")); },
     1, 0, 1, ""},
    {"target name too long to create", AlwaysOverwrite, false, [](RunFixture& f) {
       f.setExtensions(QStringLiteral(".BIN"), u'.' + QString(255, u'X')); },
     1, 0, 1, ""},
    {"folder in the target's place", AlwaysOverwrite, false, [](RunFixture& f) {
       QVERIFY(QDir(f.target()).mkdir(QStringLiteral("a.BIN"))); },
     1, 0, 1, ""},
    {"link to a folder in the target's place is left alone, not asked about", AskToOverwrite, true, [](RunFixture& f) {
       QVERIFY(QDir(f.root()).mkdir(QStringLiteral("elsewhere")));
       link(f.root() + QStringLiteral("/elsewhere"), f.target() + QStringLiteral("a.BIN")); },
     1, 0, 1, ""},
    {"source that is a link to the file at its target's name", AlwaysOverwrite, true, [](RunFixture& f) {
       QFile::remove(f.source() + QStringLiteral("a.BIN"));
       f.putTarget(QStringLiteral("a.BIN"), Image112K(Bank8(), Bank1()));
       link(f.target() + QStringLiteral("a.BIN"), f.source() + QStringLiteral("a.BIN")); },
     1, 0, 1, ""},
    {"folders stored without their separator", NeverOverwrite, false, [](RunFixture&) {
       ConversionSettings.Source.chop(1);
       ConversionSettings.Target.chop(1); },
     1, 1, 0, "a.BIN"},
    {"wildcards in a name are letters, not a pattern", NeverOverwrite, false, [](RunFixture& f) {
       QFile::rename(f.source() + QStringLiteral("a.BIN"), f.source() + QStringLiteral("a?.BIN"));
       f.putTarget(QStringLiteral("ab.BIN"), "unrelated"); },
     1, 1, 0, "a?.BIN"},
    {"temporary files of a killed run are removed", NeverOverwrite, false, [](RunFixture& f) {
       f.putTarget(QStringLiteral(".~quillet-Ab12cD.tmp"), "left by a killed run"); },
     1, 1, 0, "a.BIN"},
    {"name of 255 characters", NeverOverwrite, false, [](RunFixture& f) {
       QFile::rename(f.source() + QStringLiteral("a.BIN"), f.source() + QString(251, u'n') + QStringLiteral(".BIN")); },
     1, 1, 0, QString(251, u'n') + ".BIN"},
    {"read-only target is kept, not asked about", AskToOverwrite, false, [](RunFixture& f) {
       f.putTarget(QStringLiteral("a.BIN"), "old");
       QFile::setPermissions(f.target() + QStringLiteral("a.BIN"), QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther); },
     1, 0, 1, ""},
    {"two sources naming one target: the second finds the first in place", NeverOverwrite, false, [](RunFixture& f) {
       f.putSource(QStringLiteral("a.bin"), FourBankImage()); },
     2, 1, 1, "a.BIN", LetterCase::Apart},
    {"two sources naming one target, always: the second replaces the first", AlwaysOverwrite, false, [](RunFixture& f) {
       f.putSource(QStringLiteral("a.bin"), FourBankImage()); },
     2, 2, 0, "a.BIN", LetterCase::Apart},
    {"same folder: a target that is another source is skipped", AlwaysOverwrite, false, [](RunFixture& f) {
       f.putSource(QStringLiteral("a.bin"), Image112K(Bank8(), Bank1()));
       f.setFolders(f.source(), f.source());
       f.setExtensions(QStringLiteral(".BIN"), QStringLiteral(".bin")); },
     2, 0, 2, "", LetterCase::Apart},
    {"same folder: a name differing in case from a source is no source", AlwaysOverwrite, false, [](RunFixture& f) {
       QFile::rename(f.source() + QStringLiteral("a.BIN"), f.source() + QStringLiteral("A.BIN"));
       f.setFolders(f.source(), f.source());
       f.setExtensions(QStringLiteral(".BIN"), QStringLiteral(".bin")); },
     1, 1, 0, "A.bin", LetterCase::Apart},
    {"same folder in other letters: a name differing in case is the source itself", AlwaysOverwrite, false, [](RunFixture& f) {
       f.setFolders(f.source(), f.source().toUpper());
       f.setExtensions(QStringLiteral(".BIN"), QStringLiteral(".bin")); },
     1, 0, 1, "", LetterCase::OneName},
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
    for (const char* name : {"a.BIN", "A.bin", "x.txt", ".hidden.BIN"})
      f.putSource(QString::fromLatin1(name), FourBankImage());
    f.putSource(QStringLiteral("b.BIN"), Image88K(Bank1(32 * K), Bank8()));
    f.putSource(QStringLiteral("c.BIN"), Body(1000, 0x10));  // no layout has this length
    QDir(f.source()).mkdir(QStringLiteral("folder.BIN"));
    Hide(f.source() + QStringLiteral(".hidden.BIN"));
    if (CanLink) link(f.source() + QStringLiteral("gone"), f.source() + QStringLiteral("dead.BIN"));
    f.setExtensions(QStringLiteral(".bin"), QStringLiteral(".OUT"));
    ConversionSettings.PadSize = Padding64K;
    ConversionSettings.PadType = FrontPadding;
    QString info;
    QStringList listed;
    int counted = 0;
    f.messages.onShow = [&](const Toolkit::Message&) {
      info = Forms::frmProcess.loaded()->lblInfo->text();
      listed = FileList;
      counted = FileCount;
    };
    f.reorder();

    // Where case does not tell names apart, A.bin was written into a.BIN.
    QStringList expected{"a.BIN", "b.BIN", "c.BIN"}, written{"a.OUT", "b.OUT"};
    if (TellsCaseApart(f.source())) expected.prepend("A.bin"), written.prepend("A.OUT");
    const int n = static_cast<int>(expected.size());
    QCOMPARE(listed, expected);
    QCOMPARE(counted, n);
    QCOMPARE(f.messages.titles(), QStringList{QStringLiteral("Operation Complete")});
    QCOMPARE(f.messages.shown.last().icon, Toolkit::Icon::Information);
    QCOMPARE(lastPrompt(f.messages), summary(n, n - 1, 1));
    // The current file counts as remaining, and the words stay plural.
    QCOMPARE(info, QStringLiteral("Processing %1 files. 1 files are remaining.").arg(n));
    const auto targets = RunFixture::snapshot(f.target());
    QCOMPARE(targets.keys(), written);
    QVERIFY(targets.value(QStringLiteral("b.OUT")) ==
            Fill(72 * K, 0xFF) + Bank1(32 * K) + Fill(32 * K, 0xFF) + Bank8() + Fill(64 * K, 0xFF));
    QVERIFY(!Processing);
    QVERIFY(!Forms::frmProcess.loaded());
  }

  void checksBeforeTheFirstFile_data() { addRows(checks); }

  void checksBeforeTheFirstFile() {
    QFETCH(int, row);
    const Check& c = checks[row];
    if (c.folder == TargetFolder::LinkToSource && !CanLink) QSKIP(NoLinks);
#ifndef Q_OS_LINUX
    if (c.folder == TargetFolder::Unwritable) QSKIP("no folder here refuses every user");
#endif
    RunFixture f;
    f.putSource(QStringLiteral("x.BIN"), FourBankImage());
    f.putTarget(QStringLiteral("x.BIN"), "old");
    ConversionSettings.OutOrder = QString::fromLatin1(c.order);
    ConversionSettings.PadValue = QString::fromLatin1(c.pad);
    ConversionSettings.PadSize = Padding56K;
    const QString linked = f.root() + QStringLiteral("/link/");
    link(f.source(), f.root() + QStringLiteral("/link"));
    // Even root may create nothing in /proc.
    const QString folders[] = {f.target(), f.source(), linked, f.root() + QStringLiteral("/gone/"),
                               QStringLiteral("/proc/")};
    f.setFolders(f.source(), folders[static_cast<int>(c.folder)]);
    f.setExtensions(QStringLiteral(".BIN"), QString::fromLatin1(c.targetExt));
    const auto sources = RunFixture::snapshot(f.source());
    f.reorder();

    QCOMPARE(f.messages.titles(), QStringList{QString::fromLatin1(c.title)});
    if (QString::fromLatin1(c.title) == QStringLiteral("Operation Complete")) return;
    QCOMPARE(f.messages.shown[0].icon, Toolkit::Icon::Critical);
    QCOMPARE(f.messages.shown[0].prompt,
             QString::fromLatin1(c.prompt)
                 .replace(QStringLiteral("%1"), ConversionSettings.Target)
                 .replace(QStringLiteral("%2"), QString::fromLatin1(c.targetExt)));
    QCOMPARE(RunFixture::snapshot(f.source()), sources);
    QCOMPARE(RunFixture::snapshot(f.target()).keys(), QStringList{QStringLiteral("x.BIN")});
    QVERIFY(!QDir(f.root() + QStringLiteral("/gone/")).exists());
    QVERIFY(!Processing);
    QVERIFY(!Forms::frmProcess.loaded());
  }

  void stopping_data() {
    addRows(stops);
  }
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
        if (data.size() == Converted) names << name.chopped(4);
      return names.join(u',');
    };
    QStringList log;
    int questions = 0;
    f.messages.onShow = [&](const Toolkit::Message& message) {
      const QString window = Forms::frmProcess.loaded() ? "" : " (window closed)";
      log << message.title + window + u':' + inPlace();
      if (message.title == Prompt && ++questions == s.closeAt)
        QMetaObject::invokeMethod(Forms::frmProcess.loaded(), "close", Qt::QueuedConnection);
    };
    f.reorder();
    QCOMPARE(log.join(QStringLiteral(" | ")), QString::fromLatin1(s.log));
    QCOMPARE(inPlace(), log.last().section(u':', 1));  // nothing placed after the summary
    QCOMPARE(lastPrompt(f.messages), summary(s.total, s.converted, s.skipped));
    const Toolkit::Message& asked = f.messages.shown[0];
    QCOMPARE(asked.prompt,
             QStringLiteral("Do you want to overwrite the file\r\nf%1.BIN?").arg(s.old[0]));
    QCOMPARE(asked.buttons, Toolkit::Buttons::YesNoCancel);
    QCOMPARE(asked.icon, Toolkit::Icon::None);
    if (s.closeAt) {  // the question is the second message, as the log shows
      QCOMPARE(f.messages.shown[1].prompt,
               QStringLiteral("Are you sure you would like to cancel?"));
      QCOMPARE(f.messages.shown[1].buttons, Toolkit::Buttons::YesNo);
    }
    QVERIFY(!Forms::frmProcess.loaded());
    QVERIFY(!Processing);
  }

  // Whatever stands in the folders, a run writes only regular files into the target folder and
  // never touches what a link points to.
  void hazardsInTheFolders_data() {
    addRows(hazards);
  }

  void hazardsInTheFolders() {
    QFETCH(int, row);
    const Hazard& h = hazards[row];
    if (h.needsLinks && !CanLink) QSKIP(NoLinks);
    RunFixture f;
    if (h.letterCase != LetterCase::Any &&
        TellsCaseApart(f.source()) != (h.letterCase == LetterCase::Apart)) {
      QSKIP("names differing only in case are told apart on some file systems only");
    }
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    f.putTarget(QStringLiteral("keep.tmp"), "keep");
    ImageBuilder::WriteFile(f.root() + QStringLiteral("/outside.bin"), "outside");
    ConversionSettings.Overwrite = h.overwrite;
    h.arrange(f);
    if (h.written.contains(u'?') && !QFile::exists(f.source() + h.written))
      QSKIP("this file system takes no ? in a name (Windows)");
    const QString sourceSetting = ConversionSettings.Source;
    const QString target = FolderWithSeparator(ConversionSettings.Target);
    const auto sources = RunFixture::snapshot(f.source());
    const auto targets = RunFixture::snapshot(target);
    const auto outside = RunFixture::snapshot(f.root());
    f.reorder();

    QCOMPARE(lastPrompt(f.messages), summary(h.total, h.converted, h.skipped));
    QCOMPARE(RunFixture::snapshot(f.root()), outside);  // nothing written beside the folders
    QVERIFY(!QFile::exists(f.root() + QStringLiteral("/nowhere.bin")));
    QCOMPARE(ConversionSettings.Source, sourceSetting);  // the setting stays as written
    QStringList written;
    for (const QFileInfo& file :
         QDir(target).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
      QVERIFY2(!file.fileName().startsWith(QStringLiteral(".~quillet-")),
               qPrintable(file.fileName()));
      if (!file.isSymLink() && file.size() == Converted) written << file.fileName();
    }
    QCOMPARE(written.join(u' '), h.written);
    for (auto [name, data] : targets.asKeyValueRange())  // every other target stays as it was
      if (!written.contains(name) && !name.startsWith(QStringLiteral(".~quillet-")))
        QCOMPARE(ImageBuilder::ReadFile(target + name), data);
    auto after = RunFixture::snapshot(f.source());
    if (target == f.source())
      for (const QString& name : written) after.remove(name);
    QCOMPARE(after, sources);
  }

  // A name that is not valid UTF-8 is read, and its target named, with the
  // very same bytes; nothing is left out unseen.
  void namesThatAreNotText() {
#ifndef Q_OS_UNIX
    QSKIP("names are UTF-16 here");
#else
    RunFixture f;
    const QByteArray source = QFile::encodeName(f.source()) + "lat\xe9.BIN";
    const QByteArray target = QFile::encodeName(f.target()) + "lat\xe9.BIN";
    QVERIFY(ImageBuilder::WriteFile(f.source() + "a.BIN", FourBankImage()));
    QVERIFY(::rename(QFile::encodeName(f.source() + "a.BIN"), source) == 0);
    f.reorder();
    struct stat written {};
    const bool converted = ::stat(target, &written) == 0 && written.st_size == Converted;
    ::unlink(source);
    ::unlink(target);
    QCOMPARE(lastPrompt(f.messages), summary(1, 1, 0));
    QVERIFY(converted);
#endif
  }

  // Listed sources that vanish or turn into a pipe before their turn are skipped without
  // blocking; a target name repeated a whole batch later, while the first file of that name may
  // still be on its way into place, sees it as existing.
  void listedFilesAsTheRunFindsThem() {
    RunFixture f;
#ifdef Q_OS_UNIX
    QVERIFY(mkfifo(QFile::encodeName(f.root() + QStringLiteral("/pipe")), 0600) == 0);
    QVERIFY(QFile::link(f.root() + QStringLiteral("/pipe"), f.source() + QStringLiteral("p.BIN")));
#endif
    FileList = {QStringLiteral("a.BIN"), QStringLiteral("p.BIN")};
    for (int i = 0; i < 65; ++i) {
      FileList << QStringLiteral("f%1.BIN").arg(i, 2, 10, QLatin1Char('0'));
      f.putSource(FileList.last(), FourBankImage());
    }
    FileList << QStringLiteral("f00.BIN");
    FileCount = static_cast<qint16>(FileList.size());
    ConversionSettings.Overwrite = NeverOverwrite;
    Forms::frmProcess.get()->StripFiles();
    QCOMPARE(lastPrompt(f.messages), summary(68, 65, 3));
    QCOMPARE(RunFixture::snapshot(f.target()).size(), 65);
    QVERIFY(!QFile::exists(f.source() + QStringLiteral("a.BIN")));
  }

  // A target another program holds open cannot be replaced on Windows: the
  // file is skipped and the target stays as it was, with nothing beside it.
  void targetHeldOpenByAnotherProgram() {
#ifndef Q_OS_WIN
    QSKIP("an open file can be replaced here");
#endif
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), FourBankImage());
    f.putTarget(QStringLiteral("a.BIN"), "old");
    ConversionSettings.Overwrite = AlwaysOverwrite;
    QFile held(f.target() + QStringLiteral("a.BIN"));
    QVERIFY(held.open(QIODevice::ReadOnly));
    f.reorder();
    held.close();
    QCOMPARE(lastPrompt(f.messages), summary(1, 0, 1));
    QCOMPARE(RunFixture::snapshot(f.target()),
             (QMap<QString, QByteArray>{{QStringLiteral("a.BIN"), "old"}}));
  }
};

QTEST_MAIN(BatchRunTest)
#include "test_batch_run.moc"
