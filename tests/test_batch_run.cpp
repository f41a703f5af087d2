// The batch run: folder checks, overwrite policy, counters, the summary,
// stopping, and never losing or half-writing a file.
#include <QFile>
#include <QLabel>
#include <QtTest>

#include "batch/frmProcess.h"
#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;
using Toolkit::Answer;

namespace {

const qint64 K = 1024;
const QString Prompt = QStringLiteral("Confirm Overwrite?");

QByteArray fourBank() {
  return Image224K({Bank0(), Bank1(), Bank8(), Bank9()});
}

QString summary(int total, int converted, int skipped) {
  return QStringLiteral(
             " %1 total files were processed. \r\n\r\n %2 files were converted and  %3 "
             "were skipped.")
      .arg(total)
      .arg(converted)
      .arg(skipped);
}

QString lastPrompt(const MessageRecorder& messages) {
  return messages.shown.isEmpty() ? QString() : messages.shown.last().prompt;
}

// Five sources whose targets exist already, holding "old".
void fiveFilesWithOldTargets(RunFixture& f) {
  for (int i = 1; i <= 5; ++i) {
    f.putSource(QStringLiteral("f%1.BIN").arg(i), fourBank());
    f.putTarget(QStringLiteral("f%1.BIN").arg(i), "old");
  }
  ConversionSettings.Overwrite = AskToOverwrite;
}

int replacedTargets(const RunFixture& f) {
  int replaced = 0;
  for (const QByteArray& data : RunFixture::snapshot(f.target())) replaced += data != "old";
  return replaced;
}

// clang-format off
// What must hold before a run touches its first file; an empty prompt is not compared.
struct Check { const char* name; bool sameFolder; const char* targetExt; const char* order; const char* pad; bool targetMissing; const char* title; const char* prompt; };
const Check checks[] = {
    {"same folder and extension", true, ".BIN", "0,1,8,9", "FF", false, "Folder Error",
     "The Source and Target folders/extensions are the same.\r\nPlease change one of the folders/extensions before continuing."},
    {"same folder, extension differing in case", true, ".bin", "0,1,8,9", "FF", false, "Operation Complete", ""},
    {"other folder, same extension", false, ".BIN", "0,1,8,9", "FF", false, "Operation Complete", ""},
    {"order with three pieces", false, ".BIN", "0,1,8", "FF", false, "Format Error", "Invalid Bank Order format. Re-enter"},
    {"pad value that is no hex", false, ".BIN", "0,1,8,9", "ZZ", false, "Format Error", "Invalid Pad Value format. Re-enter"},
    {"target folder missing", false, ".BIN", "0,1,8,9", "FF", true, "Folder Error", ""},
};

struct Policy { const char* name; quint8 overwrite; Answer answer; bool replaced; int converted, skipped; };
const Policy policies[] = {
    {"never", 0, Answer::OK, false, 0, 1},        {"always", 1, Answer::OK, true, 1, 0},
    {"ask, Yes", 2, Answer::Yes, true, 1, 0},     {"ask, No", 2, Answer::No, false, 0, 1},
    {"ask, Cancel", 2, Answer::Cancel, false, 0, 0},
    {"unknown code keeps the target", 9, Answer::OK, false, 0, 1},
};

struct Unconvertible { const char* name; QString source, sourceExt, targetExt; bool folderInTheWay; };
const Unconvertible unconvertibles[] = {
    {"name of three characters", "a.b", ".b", ".BIN", false},
    {"target name too long to create", QString(100, u'n') + ".BIN", ".BIN", u'.' + QString(200, u'X'), false},
    {"folder in the target's place", "x.BIN", ".BIN", ".BIN", true},
};
// clang-format on

template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N]) {
  QTest::addColumn<int>("row");
  for (std::size_t i = 0; i < N; ++i) QTest::newRow(rows[i].name) << static_cast<int>(i);
}

}  // namespace

class BatchRunTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  void convertsEveryMatchingFileAndSummarises() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), fourBank());
    f.putSource(QStringLiteral("b.bin"), Image88K(Bank1(32 * K), Bank8()));
    f.putSource(QStringLiteral("c.BIN"), Body(1000, 0x10));  // no layout has this length
    f.putSource(QStringLiteral("d.txt"), fourBank());        // not listed
    ConversionSettings.PadSize = Padding64K;
    ConversionSettings.PadType = FrontPadding;
    QString info;
    f.messages.onShow = [&](const Toolkit::Message&) {
      info = Forms::frmProcess.loaded()->lblInfo->text();
    };
    f.reorder();

    QCOMPARE(f.messages.titles(), QStringList{QStringLiteral("Operation Complete")});
    QCOMPARE(f.messages.shown.last().icon, Toolkit::Icon::Information);
    QCOMPARE(lastPrompt(f.messages), summary(3, 2, 1));
    // The current file counts as remaining, and the words stay plural.
    QCOMPARE(info, QStringLiteral("Processing 3 files. 1 files are remaining."));
    const auto written = RunFixture::snapshot(f.target());
    QCOMPARE(written.keys(), (QStringList{QStringLiteral("a.BIN"), QStringLiteral("b.BIN")}));
    QCOMPARE(
        written.value(QStringLiteral("b.BIN")),
        Fill(72 * K, 0xFF) + Bank1(32 * K) + Fill(32 * K, 0xFF) + Bank8() + Fill(64 * K, 0xFF));
    QVERIFY(!Processing);
    QVERIFY(!Forms::frmProcess.loaded());
  }

  void checksBeforeTheFirstFile_data() { addRows(checks); }

  void checksBeforeTheFirstFile() {
    QFETCH(int, row);
    const Check& c = checks[row];
    RunFixture f;
    f.putSource(QStringLiteral("x.BIN"), fourBank());
    f.putTarget(QStringLiteral("x.BIN"), "old");
    ConversionSettings.OutOrder = QString::fromLatin1(c.order);
    ConversionSettings.PadValue = QString::fromLatin1(c.pad);
    ConversionSettings.PadSize = Padding56K;
    const QString missing = f.root() + QStringLiteral("/gone/");
    if (c.sameFolder) f.setFolders(f.source(), f.source());
    if (c.targetMissing) f.setFolders(f.source(), missing);
    f.setExtensions(QStringLiteral(".BIN"), QString::fromLatin1(c.targetExt));
    const auto sources = RunFixture::snapshot(f.source());
    f.reorder();

    QCOMPARE(f.messages.titles(), QStringList{QString::fromLatin1(c.title)});
    if (QString::fromLatin1(c.title) == QStringLiteral("Operation Complete")) return;
    QCOMPARE(f.messages.shown[0].icon, Toolkit::Icon::Critical);
    QVERIFY(f.messages.shown[0].prompt == QString::fromLatin1(c.prompt) ||
            (c.targetMissing && f.messages.shown[0].prompt.contains(missing)));
    QCOMPARE(RunFixture::snapshot(f.source()), sources);
    QCOMPARE(ReadFile(f.target() + QStringLiteral("x.BIN")), QByteArray("old"));
    QVERIFY(!QDir(missing).exists());
    QVERIFY(!Processing);
    QVERIFY(!Forms::frmProcess.loaded());
  }

  void overwritePolicy_data() { addRows(policies); }

  void overwritePolicy() {
    QFETCH(int, row);
    const Policy& p = policies[row];
    RunFixture f;
    f.putSource(QStringLiteral("x.BIN"), fourBank());
    f.putTarget(QStringLiteral("x.BIN"), QByteArray(300 * K, 'o'));
    ConversionSettings.Overwrite = p.overwrite;
    f.messages.queue(p.answer);
    f.reorder();

    if (p.overwrite == AskToOverwrite) {
      const auto& asked = f.messages.shown.first();
      QCOMPARE(asked.title, Prompt);
      QCOMPARE(asked.prompt, QStringLiteral("Do you want to overwrite the file\r\nx.BIN?"));
      QCOMPARE(asked.buttons, Toolkit::Buttons::YesNoCancel);
      QCOMPARE(asked.icon, Toolkit::Icon::None);
    }
    QCOMPARE(lastPrompt(f.messages), summary(1, p.converted, p.skipped));
    QCOMPARE(ReadFile(f.target() + QStringLiteral("x.BIN")).size(), p.replaced ? 216 * K : 300 * K);
    QCOMPARE(RunFixture::snapshot(f.target()).size(), 1);  // no temporary file left
  }

  void cancelInOverwritePromptStopsAfterThatFile() {
    RunFixture f;
    fiveFilesWithOldTargets(f);
    for (Answer answer : {Answer::Yes, Answer::No, Answer::Cancel}) f.messages.queue(answer);
    f.reorder();
    QCOMPARE(lastPrompt(f.messages), summary(3, 1, 1));
    QCOMPARE(replacedTargets(f), 1);
  }

  // A close of the progress window waits in the event queue until the next
  // file's event point; Yes there stops the run once that file is done.
  void stopAtAFilesEventPoint_data() {
    QTest::addColumn<Answer>("confirm");
    QTest::addColumn<QString>("expectedSummary");
    QTest::newRow("confirmed") << Answer::Yes << summary(3, 3, 0);
    QTest::newRow("refused") << Answer::No << summary(5, 5, 0);
  }

  void stopAtAFilesEventPoint() {
    QFETCH(Answer, confirm);
    QFETCH(QString, expectedSummary);
    RunFixture f;
    fiveFilesWithOldTargets(f);
    int prompts = 0;
    bool windowGoneAtFile3 = false;
    f.messages.onShow = [&](const Toolkit::Message& message) {
      if (message.title != Prompt) return;
      if (++prompts == 2) {  // the click lands while file 2 is worked on
        QMetaObject::invokeMethod(Forms::frmProcess.loaded(), "close", Qt::QueuedConnection);
      }
      if (prompts == 3) windowGoneAtFile3 = !Forms::frmProcess.loaded();
    };
    for (Answer answer : {Answer::Yes, Answer::Yes, confirm}) f.messages.queue(answer);
    f.reorder();

    QCOMPARE(f.messages.titles().indexOf(QStringLiteral("Cancel Operation?")), 2);
    QCOMPARE(f.messages.titles().count(QStringLiteral("Cancel Operation?")), 1);
    QCOMPARE(f.messages.shown[2].prompt, QStringLiteral("Are you sure you would like to cancel?"));
    QCOMPARE(f.messages.shown[2].buttons, Toolkit::Buttons::YesNo);
    QCOMPARE(lastPrompt(f.messages), expectedSummary);
    QCOMPARE(windowGoneAtFile3, confirm == Answer::Yes);
    QCOMPARE(replacedTargets(f), confirm == Answer::Yes ? 3 : 5);
    QVERIFY(!Forms::frmProcess.loaded());
    QVERIFY(!Processing);
  }

  // However the target is reached, a run never writes over a source image.
  void targetThatReachesASourceIsSkipped_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("same folder, extension differing in case") << "case";
    QTest::newRow("target folder linked to the source folder") << "folder link";
    QTest::newRow("target file linked to its source") << "file link";
  }

  void targetThatReachesASourceIsSkipped() {
    QFETCH(QString, how);
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), fourBank());
    int sources = 1;
    if (how == QStringLiteral("case")) {
      // Where case tells names apart, a.bin is a second source; elsewhere
      // it is a.BIN itself, and the folder's name in capitals the folder.
      QString target = f.source().toUpper();
      if (TellsCaseApart(f.source())) {
        f.putSource(QStringLiteral("a.bin"), Image112K(Bank8(), Bank1()));
        sources = 2;
        target = f.source();
      }
      f.setFolders(f.source(), target);
      f.setExtensions(QStringLiteral(".BIN"), QStringLiteral(".bin"));
    } else if (!CanLink) {
      QSKIP(NoLinks);
    } else if (how == QStringLiteral("folder link")) {
      QVERIFY(QFile::link(f.source(), f.root() + QStringLiteral("/link")));
      f.setFolders(f.source(), f.root() + QStringLiteral("/link/"));
    } else {
      QVERIFY(
          QFile::link(f.source() + QStringLiteral("a.BIN"), f.target() + QStringLiteral("a.BIN")));
    }
    ConversionSettings.Overwrite = AlwaysOverwrite;
    const auto before = RunFixture::snapshot(f.source());
    f.reorder();
    QCOMPARE(RunFixture::snapshot(f.source()), before);
    QCOMPARE(lastPrompt(f.messages), summary(sources, 0, sources));
  }

  void filesThatCannotBeConvertedAreSkipped_data() { addRows(unconvertibles); }

  void filesThatCannotBeConvertedAreSkipped() {
    QFETCH(int, row);
    const Unconvertible& u = unconvertibles[row];
    const QString& name = u.source;
    RunFixture f;
    f.putSource(name, fourBank());
    f.setExtensions(u.sourceExt, u.targetExt);
    ConversionSettings.Overwrite = AlwaysOverwrite;
    if (u.folderInTheWay) QVERIFY(QDir(f.target()).mkdir(name));
    f.reorder();
    QCOMPARE(lastPrompt(f.messages), summary(1, 0, 1));
    QCOMPARE(RunFixture::snapshot(f.target()).size(), 0);
    QCOMPARE(ReadFile(f.source() + name), fourBank());
  }

  void sourceGoneAfterListingIsSkipped() {
    RunFixture f;
    f.putSource(QStringLiteral("b.BIN"), fourBank());
    FileList = {QStringLiteral("a.BIN"), QStringLiteral("b.BIN")};
    FileCount = 2;
    Forms::frmProcess.get()->StripFiles();
    QCOMPARE(lastPrompt(f.messages), summary(2, 1, 1));
    QVERIFY(!QFile::exists(f.source() + QStringLiteral("a.BIN")));
  }
};

QTEST_MAIN(BatchRunTest)
#include "test_batch_run.moc"
