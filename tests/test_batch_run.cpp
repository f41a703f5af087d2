// The batch run: folder checks, overwrite policy, counters, the summary,
// stopping, and never losing or half-writing a file.
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include "batch/frmProcess.h"
#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/frm_Main.h"

using namespace ImageBuilder;
using Toolkit::Answer;

Q_DECLARE_METATYPE(Toolkit::Answer)

namespace {

const qint64 K = 1024;

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

// The last message shown, which a finished run makes its summary.
QString lastPrompt(const MessageRecorder& messages) {
  return messages.shown.isEmpty() ? QString() : messages.shown.last().prompt;
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
    f.reorder();

    QCOMPARE(f.messages.titles(), QStringList{QStringLiteral("Operation Complete")});
    QCOMPARE(f.messages.shown.last().icon, Toolkit::Icon::Information);
    QCOMPARE(lastPrompt(f.messages), summary(3, 2, 1));
    const auto written = RunFixture::snapshot(f.target());
    QCOMPARE(written.keys(), (QStringList{QStringLiteral("a.BIN"), QStringLiteral("b.BIN")}));
    // An 88K image whose first bank is bank 1, padded to 64K with the fill in front.
    const QByteArray expected = Fill(64 * K, 0xFF) + Fill(8 * K, 0xFF) + Bank1(32 * K) +
                                Fill(24 * K, 0xFF) + Fill(8 * K, 0xFF) + Bank8() +
                                Fill(64 * K, 0xFF);
    QCOMPARE(written.value(QStringLiteral("b.BIN")), expected);
    QCOMPARE(written.value(QStringLiteral("a.BIN")).size(), 256 * K);
    QVERIFY(!Processing);
    QVERIFY(!Forms::frmProcess.loaded());
  }

  void progressTextCountsTheCurrentFileAsRemaining() {
    RunFixture f;
    f.putSource(QStringLiteral("only.BIN"), fourBank());
    QString info;
    f.messages.onShow = [&](const Toolkit::Message&) {
      if (auto* process = Forms::frmProcess.loaded()) info = process->lblInfo->text();
    };
    f.reorder();
    QCOMPARE(info, QStringLiteral("Processing 1 files. 1 files are remaining."));
  }

  void folderCheck_data() {
    QTest::addColumn<bool>("sameFolder");
    QTest::addColumn<QString>("targetExt");
    QTest::addColumn<bool>("refused");
    QTest::newRow("same folder, same extension") << true << ".BIN" << true;
    QTest::newRow("same folder, extension differs in case") << true << ".bin" << false;
    QTest::newRow("same folder, other extension") << true << ".OUT" << false;
    QTest::newRow("other folder, same extension") << false << ".BIN" << false;
  }

  void folderCheck() {
    QFETCH(bool, sameFolder);
    QFETCH(QString, targetExt);
    QFETCH(bool, refused);
    RunFixture f;
    f.putSource(QStringLiteral("x.BIN"), fourBank());
    if (sameFolder) f.setFolders(f.source(), f.source());
    f.setExtensions(QStringLiteral(".BIN"), targetExt);
    const auto before = RunFixture::snapshot(f.source());
    f.reorder();

    QCOMPARE(f.messages.shown.size(), 1);
    const auto& shown = f.messages.shown.first();
    if (refused) {
      QCOMPARE(shown.title, QStringLiteral("Folder Error"));
      QCOMPARE(shown.prompt,
               QStringLiteral("The Source and Target folders/extensions are the same.\r\n"
                              "Please change one of the folders/extensions before continuing."));
      QCOMPARE(shown.icon, Toolkit::Icon::Critical);
      QCOMPARE(RunFixture::snapshot(f.source()), before);
    } else {
      QCOMPARE(shown.title, QStringLiteral("Operation Complete"));
    }
    QVERIFY(!Processing);
    QVERIFY(!Forms::frmProcess.loaded());
  }

  void runRefusedBeforeTouchingAnything_data() {
    QTest::addColumn<QString>("outOrder");
    QTest::addColumn<QString>("padValue");
    QTest::addColumn<bool>("targetMissing");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("order with three pieces") << "0,1,8"
                                             << "FF" << false << "Format Error"
                                             << "Invalid Bank Order format. Re-enter";
    QTest::newRow("order with a letter") << "0,1,x,9"
                                         << "FF" << false << "Format Error"
                                         << "Invalid Bank Order format. Re-enter";
    QTest::newRow("pad value that is no hex") << "0,1,8,9"
                                              << "ZZ" << false << "Format Error"
                                              << "Invalid Pad Value format. Re-enter";
    QTest::newRow("target folder missing") << "0,1,8,9"
                                           << "FF" << true << "Folder Error"
                                           << "";
  }

  void runRefusedBeforeTouchingAnything() {
    QFETCH(QString, outOrder);
    QFETCH(QString, padValue);
    QFETCH(bool, targetMissing);
    QFETCH(QString, title);
    QFETCH(QString, prompt);
    RunFixture f;
    f.putSource(QStringLiteral("x.BIN"), fourBank());
    f.putTarget(QStringLiteral("x.BIN"), "old");
    ConversionSettings.OutOrder = outOrder;
    ConversionSettings.PadValue = padValue;
    ConversionSettings.PadSize = Padding56K;
    ConversionSettings.Overwrite = AlwaysOverwrite;
    const QString missing = f.root() + QStringLiteral("/gone/");
    if (targetMissing) f.setFolders(f.source(), missing);
    const auto sources = RunFixture::snapshot(f.source());
    const auto targets = RunFixture::snapshot(f.target());
    f.reorder();

    QCOMPARE(f.messages.titles(), QStringList{title});
    if (!prompt.isEmpty()) QCOMPARE(f.messages.shown.first().prompt, prompt);
    if (targetMissing) QVERIFY(f.messages.shown.first().prompt.contains(missing));
    QCOMPARE(RunFixture::snapshot(f.source()), sources);
    QCOMPARE(RunFixture::snapshot(f.target()), targets);
    QVERIFY(!QDir(missing).exists());
    QVERIFY(!Processing);
  }

  void overwritePolicy_data() {
    QTest::addColumn<int>("overwrite");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<QString>("expectedSummary");
    QTest::newRow("never") << 0 << QList<Answer>{} << false << summary(1, 0, 1);
    QTest::newRow("always") << 1 << QList<Answer>{} << true << summary(1, 1, 0);
    QTest::newRow("ask, Yes") << 2 << QList<Answer>{Answer::Yes} << true << summary(1, 1, 0);
    QTest::newRow("ask, No") << 2 << QList<Answer>{Answer::No} << false << summary(1, 0, 1);
    QTest::newRow("ask, Cancel") << 2 << QList<Answer>{Answer::Cancel} << false << summary(1, 0, 0);
    QTest::newRow("unknown code keeps the target")
        << 9 << QList<Answer>{} << false << summary(1, 0, 1);
  }

  void overwritePolicy() {
    QFETCH(int, overwrite);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, replaced);
    QFETCH(QString, expectedSummary);
    RunFixture f;
    f.putSource(QStringLiteral("x.BIN"), fourBank());
    f.putTarget(QStringLiteral("x.BIN"), QByteArray(300 * K, 'o'));
    ConversionSettings.Overwrite = static_cast<quint8>(overwrite);
    for (Answer answer : answers) f.messages.queue(answer);
    f.reorder();

    if (overwrite == AskToOverwrite) {
      const auto& prompt = f.messages.shown.first();
      QCOMPARE(prompt.title, QStringLiteral("Confirm Overwrite?"));
      QCOMPARE(prompt.prompt, QStringLiteral("Do you want to overwrite the file\r\nx.BIN?"));
      QCOMPARE(prompt.buttons, Toolkit::Buttons::YesNoCancel);
      QCOMPARE(prompt.icon, Toolkit::Icon::None);
    }
    QCOMPARE(lastPrompt(f.messages), expectedSummary);
    const QByteArray target = ReadFile(f.target() + QStringLiteral("x.BIN"));
    QCOMPARE(target.size(), replaced ? 216 * K : 300 * K);
    QCOMPARE(RunFixture::snapshot(f.target()).size(), 1);  // no temporary file left
  }

  void cancelInOverwritePromptStopsAfterThatFile() {
    RunFixture f;
    for (int i = 1; i <= 5; ++i) {
      const QString name = QStringLiteral("f%1.BIN").arg(i);
      f.putSource(name, fourBank());
      f.putTarget(name, "old");
    }
    ConversionSettings.Overwrite = AskToOverwrite;
    f.messages.queue(Answer::Yes);
    f.messages.queue(Answer::No);
    f.messages.queue(Answer::Cancel);
    f.reorder();

    QCOMPARE(lastPrompt(f.messages), summary(3, 1, 1));
    const auto targets = RunFixture::snapshot(f.target());
    QCOMPARE(targets.value(QStringLiteral("f1.BIN")).size(), 216 * K);
    for (const char* untouched : {"f2.BIN", "f3.BIN", "f4.BIN", "f5.BIN"}) {
      QCOMPARE(targets.value(QString::fromLatin1(untouched)), QByteArray("old"));
    }
  }

  // A close of the progress window waits in the event queue until the next
  // file's event point; Yes there stops the run once that file is done.
  void stopAtAFilesEventPoint_data() {
    QTest::addColumn<Answer>("confirm");
    QTest::addColumn<QString>("expectedSummary");
    QTest::addColumn<int>("written");
    QTest::newRow("confirmed") << Answer::Yes << summary(3, 3, 0) << 3;
    QTest::newRow("refused") << Answer::No << summary(5, 5, 0) << 5;
  }

  void stopAtAFilesEventPoint() {
    QFETCH(Answer, confirm);
    QFETCH(QString, expectedSummary);
    QFETCH(int, written);
    RunFixture f;
    for (int i = 1; i <= 5; ++i) {
      f.putSource(QStringLiteral("f%1.BIN").arg(i), fourBank());
      f.putTarget(QStringLiteral("f%1.BIN").arg(i), "old");
    }
    ConversionSettings.Overwrite = AskToOverwrite;
    int prompts = 0;
    bool windowGoneAfterYes = false;
    f.messages.onShow = [&](const Toolkit::Message& message) {
      if (message.title == QStringLiteral("Confirm Overwrite?") && ++prompts == 2) {
        // The click lands while file 2 is being worked on.
        QMetaObject::invokeMethod(Forms::frmProcess.loaded(), "close", Qt::QueuedConnection);
      }
      if (message.title == QStringLiteral("Confirm Overwrite?") && prompts == 3) {
        windowGoneAfterYes = !Forms::frmProcess.loaded();
      }
    };
    f.messages.queue(Answer::Yes);
    f.messages.queue(Answer::Yes);
    f.messages.queue(confirm);  // "Are you sure you would like to cancel?"
    f.reorder();

    const QStringList titles = f.messages.titles();
    QCOMPARE(titles.count(QStringLiteral("Cancel Operation?")), 1);
    QCOMPARE(titles.indexOf(QStringLiteral("Cancel Operation?")), 2);
    QCOMPARE(f.messages.shown[2].prompt, QStringLiteral("Are you sure you would like to cancel?"));
    QCOMPARE(f.messages.shown[2].buttons, Toolkit::Buttons::YesNo);
    QCOMPARE(lastPrompt(f.messages), expectedSummary);
    QCOMPARE(windowGoneAfterYes, confirm == Answer::Yes);
    const auto targets = RunFixture::snapshot(f.target());
    int replaced = 0;
    for (const QByteArray& data : targets) replaced += data.size() == 216 * K;
    QCOMPARE(replaced, written);
    QVERIFY(!Forms::frmProcess.loaded());
    QVERIFY(!Processing);
  }

  // However source and target are named, a run never writes a source image.
  void targetThatIsASourceIsSkipped() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), fourBank());
    f.putSource(QStringLiteral("a.bin"), Image112K(Bank8(), Bank1()));
    f.setFolders(f.source(), f.source());
    f.setExtensions(QStringLiteral(".BIN"), QStringLiteral(".bin"));
    ConversionSettings.Overwrite = AlwaysOverwrite;
    const auto before = RunFixture::snapshot(f.source());
    f.reorder();
    QCOMPARE(RunFixture::snapshot(f.source()), before);
    QCOMPARE(lastPrompt(f.messages), summary(2, 0, 2));
  }

  void targetFolderLinkedToSourceFolderIsSkipped() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), fourBank());
    const QString link = f.root() + QStringLiteral("/link");
    QVERIFY(QFile::link(f.root() + QStringLiteral("/src"), link));
    f.setFolders(f.source(), link + u'/');
    ConversionSettings.Overwrite = AlwaysOverwrite;
    const auto before = RunFixture::snapshot(f.source());
    f.reorder();
    QCOMPARE(RunFixture::snapshot(f.source()), before);
    QCOMPARE(lastPrompt(f.messages), summary(1, 0, 1));
  }

  void targetLinkedToItsSourceIsSkipped() {
    RunFixture f;
    f.putSource(QStringLiteral("a.BIN"), fourBank());
    QVERIFY(
        QFile::link(f.source() + QStringLiteral("a.BIN"), f.target() + QStringLiteral("a.BIN")));
    ConversionSettings.Overwrite = AlwaysOverwrite;
    f.reorder();
    QCOMPARE(ReadFile(f.source() + QStringLiteral("a.BIN")), fourBank());
    QCOMPARE(lastPrompt(f.messages), summary(1, 0, 1));
  }

  void filesThatCannotBeConvertedAreSkipped_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sourceExt");
    QTest::addColumn<QString>("targetExt");
    QTest::addColumn<bool>("folderInTheWay");
    QTest::newRow("name of three characters") << "a.b"
                                              << ".b"
                                              << ".BIN" << false;
    QTest::newRow("target name too long to create") << QString(100, u'n') + QStringLiteral(".BIN")
                                                    << ".BIN" << u'.' + QString(200, u'X') << false;
    QTest::newRow("folder in the target's place") << "x.BIN"
                                                  << ".BIN"
                                                  << ".BIN" << true;
  }

  void filesThatCannotBeConvertedAreSkipped() {
    QFETCH(QString, name);
    QFETCH(QString, sourceExt);
    QFETCH(QString, targetExt);
    QFETCH(bool, folderInTheWay);
    RunFixture f;
    f.putSource(name, fourBank());
    f.setExtensions(sourceExt, targetExt);
    ConversionSettings.Overwrite = AlwaysOverwrite;
    if (folderInTheWay) QVERIFY(QDir(f.target()).mkdir(name));
    const auto sources = RunFixture::snapshot(f.source());
    f.reorder();
    QCOMPARE(lastPrompt(f.messages), summary(1, 0, 1));
    QCOMPARE(RunFixture::snapshot(f.target()).size(), 0);
    QCOMPARE(RunFixture::snapshot(f.source()), sources);
  }

  void sourceGoneAfterListingIsSkipped() {
    RunFixture f;
    f.putSource(QStringLiteral("b.BIN"), fourBank());
    FileList = {QStringLiteral("a.BIN"), QStringLiteral("b.BIN")};
    FileCount = 2;
    Forms::frmProcess.get()->StripFiles();
    flushClosedWindows();
    QCOMPARE(lastPrompt(f.messages), summary(2, 1, 1));
    QVERIFY(!QFile::exists(f.source() + QStringLiteral("a.BIN")));
  }
};

QTEST_MAIN(BatchRunTest)
#include "test_batch_run.moc"
