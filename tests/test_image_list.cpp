// The image list: a look at the source folder lists what the command line's dry run predicts, in
// its words; after a real run every row says what became of its file. The Images window, opened
// from the main window, follows the source folder and a run (which locks the main window), filters
// to the files left out, sorts, copies inspect's text and stores nothing.
#include <QtWidgets>

#include "batch/ImageList.h"
#include "batch/ImageSurvey.h"
#include "settings/modGlobals.h"
#include "tests/support/Cli.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/ImageTable.h"
#include "ui/frmImages.h"
#include "ui/frmProcess.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace ImageBuilder;
using Toolkit::Answer;

namespace {

// Every row, top to bottom, as its name and with `run` ": what the Run column says".
QStringList rowsOf(const QAbstractItemModel& model, bool run = true) {
  QStringList rows;
  for (int row = 0; row < model.rowCount(); ++row)
    rows << model.index(row, ImageListModel::Name).data().toString() +
                (run ? ": " + model.index(row, ImageListModel::Target).data().toString() : "");
  return rows;
}

// The model filled by a look at the fixture's folders with the current settings, held to the
// rules of a model as it is.
void survey(ImageListModel& model) {
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
  ImageSurvey look(&model);
  QSignalSpy finished(&look, &ImageSurvey::finished);
  look.Start(ConversionSettings);
  QVERIFY(finished.wait(20000));
}

// quillet-cli's dry run over the same folders and extension, its lines without the length class.
QStringList dryRunLines(const RunFixture& f, const QString& overwrite) {
  const QString options = "--dry-run -q --no-settings --source-ext .bin --target-ext .bin";
  const QStringList args{"convert", f.source(), f.target(), "--overwrite", overwrite};
  QStringList lines =
      RunCli(args + options.split(u' '), f.store()).out.split(u'\n', Qt::SkipEmptyParts);
  lines.removeLast();  // the summary
  static const QRegularExpression lengthClass(QStringLiteral(": \\d+K, "));
  for (QString& line : lines) line = line.trimmed().replace(lengthClass, QStringLiteral(": "));
  return lines;
}

// clang-format off
// Sources c.BIN (of no layout's length) and f1 to f5 under "ask"; the target f3.BIN exists. A row
// sets the answers to the questions, and whether the progress window is closed (and the close
// confirmed) when the overwrite question shows, which stops the run after the next file.
struct After { const char* name; QList<Answer> answers; bool closeAtQuestion; const char* rows; };
const After afters[] = {
    {"ask, Cancel: the files after it are not reached", {Answer::Cancel}, false, "c.BIN: refused, no image layout has this length | f1.BIN: converted into f1.BIN | f2.BIN: converted into f2.BIN | f3.BIN: stopped at the overwrite question | f4.BIN: not reached, the run was stopped before it | f5.BIN: not reached, the run was stopped before it"},
    {"a confirmed close stops after the next file", {Answer::Yes, Answer::Yes}, true, "c.BIN: refused, no image layout has this length | f1.BIN: converted into f1.BIN | f2.BIN: converted into f2.BIN | f3.BIN: replaced f3.BIN | f4.BIN: converted into f4.BIN | f5.BIN: not reached, the run was stopped before it"},
};
// clang-format on

}  // namespace

class ImageListTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  // A look first, then a real run through the main window: every row tells what became of its
  // file, whatever the look predicted.
  void afterARunEveryRowSaysWhatHappened_data() { addRows(afters); }
  void afterARunEveryRowSaysWhatHappened() {
    QFETCH(int, row);
    const After& a = afters[row];
    RunFixture f;
    f.putSource("c.BIN", "short");
    for (int i = 1; i <= 5; ++i) f.putSource(QStringLiteral("f%1.BIN").arg(i), FourBankImage());
    f.putTarget("f3.BIN", "old");
    ConversionSettings.Overwrite = AskToOverwrite;
    ImageListModel& model = *f.main()->Images;
    survey(model);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (Answer answer : a.answers) f.messages.queue(answer);
    f.messages.onShow = [&](const Toolkit::Message& message) {
      if (a.closeAtQuestion && message.title == "Confirm Overwrite?")
        QMetaObject::invokeMethod(Forms::frmProcess.loaded(), "close", Qt::QueuedConnection);
    };
    f.reorder();
    QCOMPARE(rowsOf(model).join(" | "), QString::fromLatin1(a.rows));
  }

  // Every layout and refusal, a folder, a pipe and a dangling link with the extension, a link to
  // an image: under each policy the rows and their words are the dry run's. What a row says of the
  // image and of the bytes its layout leaves out is what inspect and the notice of a run say.
  void aLookListsWhatTheDryRunPredicts() {
    RunFixture f;
    for (const auto& [name, image] : SampleImages()) f.putSource(name, image);
    f.putSource("cal.bin", With(Image256K({Bank0(), Bank1(48 * 1024), Bank8(), Bank9()}, true),
                                0x10100, "CAL 4.2 EEC"));
    f.putSource("blank.bin", Image224K({Fill(56 * 1024, 0xFF), Bank1(), Bank8(), Bank9()}));
    f.putTarget("two_bank_88k.bin", "old");
    QDir(f.source()).mkdir("folder.bin");
#ifdef Q_OS_UNIX
    QVERIFY(mkfifo(QFile::encodeName(f.source() + "pipe.bin"), 0600) == 0);
    QVERIFY(QFile::link(f.root() + "/gone", f.source() + "dead.bin"));
    QVERIFY(QFile::link(f.source() + "two_bank_112k.bin", f.source() + "link.bin"));
#endif
    f.setExtensions(".bin", ".bin");
    const QStringList policies{"never", "always", "ask"};
    for (const QString& overwrite : policies) {
      ConversionSettings.Overwrite = quint8(policies.indexOf(overwrite));
      ImageListModel model;
      survey(model);
      QCOMPARE(rowsOf(model), dryRunLines(f, overwrite));
      QStringList cells;
      for (int row = 0; row < model.rowCount(); ++row)
        if (QStringList{"cal.bin", "unknown_length.bin"}.contains(
                model.index(row, ImageListModel::Name).data().toString()))
          for (int column : {ImageListModel::Image, ImageListModel::LeftOut})
            cells << model.index(row, column).data().toString();
      QCOMPARE(cells, QStringList({"256K, front padding, banks 0 in slot 0, 1 in slot 1, 8 in slot "
                                   "8, 9 in slot 9",
                                   "11 bytes that are not fill: padding of slot 1 at 0x10000 "
                                   "(\"CAL 4.2 EEC\")",
                                   "refused: no image layout has this length", ""}));
    }
    QCOMPARE(RunFixture::snapshot(f.target()).keys(), QStringList{"two_bank_88k.bin"});
  }

  // A run before any look: opening the list afterwards shows what each image holds and what the
  // run left out of it, beside what the run did.
  void aLookAfterARunShowsWhatTheImagesHold() {
    RunFixture f;
    f.putSource("cal.BIN", With(Image256K({Bank0(), Bank1(48 * 1024), Bank8(), Bank9()}, true),
                                0x10100, "CAL 4.2 EEC"));
    f.reorder();
    ImageListModel& model = *f.main()->Images;
    QCOMPARE(rowsOf(model), QStringList{"cal.BIN: converted into cal.BIN"});
    survey(model);
    QCOMPARE(rowsOf(model), QStringList{"cal.BIN: converted into cal.BIN"});
    QCOMPARE(model.index(0, ImageListModel::Image).data().toString(),
             QStringLiteral("256K, front padding, banks 0 in slot 0, 1 in slot 1, 8 in slot 8, 9 "
                            "in slot 9"));
    QCOMPARE(model.index(0, ImageListModel::LeftOut).data().toString(),
             QStringLiteral("11 bytes that are not fill: padding of slot 1 at 0x10000 "
                            "(\"CAL 4.2 EEC\")"));
  }

  // A source changed in place after the look (which no folder watch sees): once the run has
  // read it, its row tells what the run read and left out, as a look at it now tells, never what
  // the look had found before.
  void aRowTellsTheImageTheRunRead() {
    RunFixture f;
    f.putSource("a.BIN", With(Image256K({Bank0(), Bank1(48 * 1024), Bank8(), Bank9()}, true),
                              0x10100, "CAL 4.2 EEC"));
    ImageListModel& model = *f.main()->Images;
    survey(model);
    QVERIFY(WriteFile(f.source() + "a.BIN", Image88K(Bank1(32 * 1024), Bank8())));
    f.reorder();
    ImageListModel now;
    survey(now);
    const auto cells = [](const QAbstractItemModel& m) {
      QStringList texts;
      for (int column : {ImageListModel::Size, ImageListModel::Image, ImageListModel::LeftOut})
        texts << m.index(0, column).data().toString();
      return texts;
    };
    QCOMPARE(cells(model), cells(now));
  }

  void followsTheFolderAndTheRun() {
    RunFixture f;
    f.putSource(QStringLiteral("b.BIN"), FourBankImage());
    f.putSource(QStringLiteral("odd.BIN"), QByteArray(1000, '\x11'));
    frm_Main* main = f.main();
    main->Show();
    const QMap<QString, QString> stored = f.store().contents();
    main->cmdImages->click();
    frmImages* images = Forms::frmImages.loaded();
    QVERIFY(images && images->isVisible());
    QTableView* view = images->lvwImages;
    QTRY_COMPARE(rowsOf(*view->model(), false), (QStringList{"b.BIN", "odd.BIN"}));
    QTRY_COMPARE(images->lblCount->text(), QStringLiteral("2 files, 1 left out"));

    // A file put into the source folder is seen without a refresh.
    f.putSource(QStringLiteral("a.BIN"), Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true));
    QTRY_COMPARE_WITH_TIMEOUT(rowsOf(*view->model(), false),
                              (QStringList{"a.BIN", "b.BIN", "odd.BIN"}), 10000);
    view->sortByColumn(ImageListModel::Size, Qt::AscendingOrder);
    QCOMPARE(rowsOf(*view->model(), false), (QStringList{"odd.BIN", "b.BIN", "a.BIN"}));

    // While a run goes on nothing may start another, open a window or close the main window,
    // and Refresh waits for the run; with the list open the run is the run without.
    bool locked = false, refreshable = true;
    f.messages.onShow = [&](const Toolkit::Message&) {
      if (f.messages.shown.size() > 1) return;
      refreshable = images->cmdRefresh->isEnabled();
      locked = !main->cmdStrip->isEnabled() && !main->cmdOptions->isEnabled() &&
               !main->cmdImages->isEnabled() && !main->cmdExit->isEnabled() &&
               !main->txtTargetExt->isEnabled() && !main->close();
      main->cmdStrip_Click();  // a second run would show a second summary
    };
    f.reorder();
    QCOMPARE(f.messages.titles(), QStringList{QStringLiteral("Operation Complete")});
    QVERIFY(locked && !refreshable);
    QVERIFY(main->cmdStrip->isEnabled() && main->cmdExit->isEnabled() &&
            images->cmdRefresh->isEnabled());
    QCOMPARE(RunFixture::snapshot(f.target()).keys(), (QStringList{"a.BIN", "b.BIN"}));

    // After a run the file left out is one click away, with the run's reason.
    QTest::mouseClick(images->chkLeftOut, Qt::LeftButton);
    QTRY_COMPARE(rowsOf(*view->model(), false), QStringList{"odd.BIN"});
    const QString reason = view->model()->index(0, ImageListModel::Target).data().toString();
    QVERIFY2(reason.startsWith(QStringLiteral("refused, ")), qPrintable(reason));
    QTest::mouseClick(images->chkLeftOut, Qt::LeftButton);
    QCOMPARE(view->model()->rowCount(), 3);

    // Copying a row gives what inspect tells of the file, once the look after the run has read it,
    // and what the run did with it.
    QTRY_VERIFY(!images->prgLook->isVisible());
    view->sortByColumn(ImageListModel::Name, Qt::AscendingOrder);
    view->selectRow(0);
    view->setFocus();
    QTest::keySequence(view, QKeySequence::Copy);
    const QString inspected = RunCli({"inspect", f.source() + "a.BIN"}, f.store()).out;
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString(inspected).remove(f.source()) + "  run: converted into a.BIN\n");

    // Its size and columns are not settings; it goes with the main window.
    images->resize(images->size() + QSize(40, 40));
    images->Unload();
    QCOMPARE(f.store().contents(), stored);
    main->cmdImages->click();
    QVERIFY(Forms::frmImages.loaded());
    main->Unload();
    QVERIFY(!Forms::frmImages.loaded());
  }
};

QTEST_MAIN(ImageListTest)
#include "test_image_list.moc"
