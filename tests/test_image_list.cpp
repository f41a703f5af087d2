// The image list: a look at the source folder lists what the command line's dry run predicts, in
// its words; after a real run every row says what became of its file. The Images window, opened
// from the main window, follows the source folder and a run (which locks the main window), filters
// to the files left out, sorts, copies inspect's text and stores nothing.
#include <QtWidgets>

#include "batch/FileListBox.h"
#include "batch/ImageList.h"
#include "batch/ImageSurvey.h"
#include "engine/ImageAssembly.h"
#include "engine/Lib_Convert.h"
#include "settings/modGlobals.h"
#include "tests/support/Cli.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/ImageTable.h"
#include "ui/LayoutStrip.h"
#include "ui/frmImages.h"
#include "ui/frmProcess.h"
#include "ui/frmReadAs.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
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

// The texts of a row's cells in these columns.
QStringList cellsOf(const QAbstractItemModel& model, int row, const QList<int>& columns) {
  QStringList texts;
  for (int column : columns) texts << model.index(row, column).data().toString();
  return texts;
}

// A 256K image with text in the padding its layout leaves out, and what the list tells of it.
const QByteArray CalImage =
    With(Image256K({Bank0(), Bank1(48 * 1024), Bank8(), Bank9()}, true), 0x10100, "CAL 4.2 EEC");
const QStringList CalCells{
    "256K, front padding, banks 0 in slot 0, 1 in slot 1, 8 in slot 8, 9 in slot 9",
    "11 bytes that are not fill: padding of slot 1 at 0x10000 (\"CAL 4.2 EEC\")"};
const QList<int> ImageCells{ImageListModel::Image, ImageListModel::LeftOut};

#ifdef Q_OS_UNIX
// Writes a source file under a name given as its bytes, which need not be text.
bool putRawSource(const RunFixture& f, const QByteArray& name, const QByteArray& data) {
  const int fd = ::open(QFile::encodeName(f.source()) + name, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return false;
  const bool written = ::write(fd, data.constData(), data.size()) == data.size();
  return ::close(fd) == 0 && written;
}
#endif

// clang-format off
// Names a folder may hold that are not plain text, as the bytes the file system has and as every
// place the window shows a name shows them.
struct HostileName { const char* name; const char* bytes; const char* shown; };
const HostileName hostileNames[] = {
    {"a newline makes no second line", "nl\nFAKE: 99 files converted.BIN", R"(nl\nFAKE: 99 files converted.BIN)"},
    {"an escape sequence colours nothing", "red\x1b[31m.BIN", R"(red\e[31m.BIN)"},
    {"a terminal title sequence", "title\x1b]0;PWNED\a.BIN", R"(title\e]0;PWNED\a.BIN)"},
    {"a carriage return hides nothing", "cr\rOVERWRITE.BIN", R"(cr\rOVERWRITE.BIN)"},
    {"a direction override turns nothing", "rlo\xe2\x80\xaegnp.BIN", R"(rlo\u202egnp.BIN)"},
    {"a C1 control", "csi\xc2\x9b.BIN", R"(csi\u009b.BIN)"},
    {"a byte that is not UTF-8", "x\x9b.BIN", R"(x\x9b.BIN)"},
    {"markup is text", "<b>bold.BIN", "<b>bold.BIN"},
};

// Column widths within a room, each column cut to one width but never below its floor.
struct FitRow { const char* name; QList<int> contents, floors; int room; QList<int> widths; };
const FitRow fitRows[] = {
    {"all fit: as they hold", {50, 100, 300, 190}, {50, 100, 0, 190}, 1000, {50, 100, 300, 190}},
    {"just fit", {50, 100, 300, 190}, {0, 0, 0, 0}, 640, {50, 100, 300, 190}},
    {"the widest are cut to one width", {100, 400, 300}, {0, 0, 0}, 600, {100, 250, 250}},
    {"a floor holds, the others give way", {100, 400, 300}, {100, 350, 0}, 600, {100, 350, 150}},
    {"floors wider than the room: the floors", {100, 400}, {100, 400}, 300, {100, 400}},
};

// The output layouts a strip is drawn for: padding size and type, bank 1 only.
struct StripRow { const char* name; quint8 padSize, padType, bank1Only; };
const StripRow stripRows[] = {
    {"no padding", NoPadding, RearPadding, 0},
    {"56K padding, longer than every two-bank image", Padding56K, RearPadding, 0},
    {"64K front padding", Padding64K, FrontPadding, 0},
    {"bank 1 only", NoPadding, RearPadding, 1},
};
// clang-format on

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
    f.putSource("cal.bin", CalImage);
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
          cells << cellsOf(model, row, ImageCells);
      QCOMPARE(cells, CalCells + QStringList({"refused: no image layout has this length", ""}));
    }
    QCOMPARE(RunFixture::snapshot(f.target()).keys(), QStringList{"two_bank_88k.bin"});
  }

  // A run before any look: a look afterwards shows what the image holds and what the run left out
  // of it, beside what the run did. Changed in place after that look (which no folder watch sees),
  // once a run has read it, its row tells what that run read and left out, as a look at it now
  // tells, never what the look had found before.
  void aRowTellsTheImageTheRunRead() {
    RunFixture f;
    f.putSource("a.BIN", CalImage);
    ConversionSettings.Overwrite = AlwaysOverwrite;
    f.reorder();
    ImageListModel& model = *f.main()->Images;
    QCOMPARE(rowsOf(model), QStringList{"a.BIN: converted into a.BIN"});
    survey(model);
    QCOMPARE(rowsOf(model), QStringList{"a.BIN: converted into a.BIN"});
    QCOMPARE(cellsOf(model, 0, ImageCells), CalCells);
    QVERIFY(WriteFile(f.source() + "a.BIN", Image88K(Bank1(32 * 1024), Bank8())));
    f.reorder();
    ImageListModel now;
    survey(now);
    const QList<int> columns{ImageListModel::Size, ImageListModel::Image, ImageListModel::LeftOut};
    QCOMPARE(cellsOf(model, 0, columns), cellsOf(now, 0, columns));
  }

  // A name that is not plain text shows escaped in the Name and Run columns, in the progress
  // window and in the Copy text, before and after a run that converts it under its real name.
  void hostileNamesShowEscaped_data() {
    addRows(hostileNames);
  }
  void hostileNamesShowEscaped() {
#ifndef Q_OS_UNIX
    QSKIP("only Unix names hold control characters");
#else
    QFETCH(int, row);
    const HostileName& h = hostileNames[row];
    const QString shown = QString::fromUtf8(h.shown);
    RunFixture f;
    QVERIFY(putRawSource(f, h.bytes, FourBankImage()));
    ImageListModel& model = *f.main()->Images;
    survey(model);
    QCOMPARE(rowsOf(model), QStringList{shown + ": would be written as " + shown});

    QString progress;
    Qt::TextFormat format = Qt::AutoText;
    f.messages.onShow = [&](const Toolkit::Message&) {
      if (frmProcess* process = Forms::frmProcess.loaded()) {
        progress = process->lblFilename->text();
        format = process->lblFilename->textFormat();
      }
    };
    f.reorder();
    QCOMPARE(f.messages.titles(), QStringList{"Operation Complete"});
    QCOMPARE(progress, Lib_Convert::ShownText(f.source()) + shown);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(rowsOf(model), QStringList{shown + ": converted into " + shown});

    const QString copied = model.RowAt(0).copyText();
    QVERIFY2(copied.startsWith(shown + ": 224K, ") &&
                 copied.endsWith("\n  run: converted into " + shown + "\n"),
             qPrintable(copied));
    for (QChar c : copied)
      QVERIFY2(c == u'\n' || (c.isPrint() && !c.isSurrogate()), qPrintable(copied));
#endif
  }

  // Sorting by Name gives the order the run takes the files in, letter case aside; descending,
  // its reverse.
  void nameSortsInTheRunsOrder() {
    RunFixture f;
    QStringList names{"b.BIN", "_c.BIN", "Z.BIN", "A.BIN", "a2.BIN"};
    if (TellsCaseApart(f.source())) names << "a.BIN";
    for (const QString& name : names) f.putSource(name, FourBankImage());
    FileListBox listing;
    listing.setPath(f.source());
    listing.setPattern("*.BIN");
    QStringList runOrder;
    for (int i = 0; i < listing.ListCount(); ++i) {
      listing.setListIndex(i);
      runOrder << listing.FileName();
    }
    QCOMPARE(runOrder.size(), names.size());

    f.main()->Show();
    f.main()->cmdImages->click();
    QTableView* view = Forms::frmImages->lvwImages;
    QTRY_COMPARE(rowsOf(*view->model(), false), runOrder);
    view->sortByColumn(ImageListModel::Name, Qt::AscendingOrder);
    QCOMPARE(rowsOf(*view->model(), false), runOrder);
    view->sortByColumn(ImageListModel::Name, Qt::DescendingOrder);
    std::reverse(runOrder.begin(), runOrder.end());
    QCOMPARE(rowsOf(*view->model(), false), runOrder);
  }

  void fittedWidths_data() {
    addRows(fitRows);
  }
  void fittedWidths() {
    QFETCH(int, row);
    const FitRow& r = fitRows[row];
    QCOMPARE(ImageTable::FittedWidths(r.contents, r.floors, r.room), r.widths);
  }

  // The window opens within the screen, its columns as wide as what they hold as far as the
  // screen allows; widening it widens every column; scrolled sideways, Name stays in view.
  void opensReadableWithinTheScreen() {
    RunFixture f;
    const QString name = "an_image_with_a_longer_name.BIN";
    f.putSource(name, FourBankImage());
    f.putSource("odd.BIN", QByteArray(1000, '\x11'));
    f.main()->Show();
    f.main()->cmdImages->click();
    frmImages* images = Forms::frmImages.loaded();
    ImageTable* view = images->lvwImages;
    QTRY_COMPARE(view->model()->rowCount(), 2);
    QTRY_VERIFY(!images->prgLook->isVisible());
    const QRect screen = images->screen()->availableGeometry();
    QVERIFY(screen.contains(images->frameGeometry()));
    const QAbstractItemView* items = view;
    const auto contents = [&](int column) {
      return std::max(view->horizontalHeader()->sectionSizeHint(column),
                      items->sizeHintForColumn(column));
    };
    QVERIFY(view->columnWidth(ImageListModel::Layout) >=
            ImageListDelegate::StripWidth(view->fontMetrics()));
    const int digit = view->fontMetrics().horizontalAdvance(u'0');
    for (int column = 0; column < ImageListModel::ColumnCount; ++column) {
      const int width = view->columnWidth(column);
      QVERIFY2(width >= std::min(contents(column), 20 * digit) && width < screen.width(),
               qPrintable(QString::number(column)));
    }

    const auto widthsAt = [&](int screens) {
      images->resize(screen.width() * screens, images->height());
      QList<int> list;
      for (int column = 0; column < ImageListModel::ColumnCount; ++column)
        list << view->columnWidth(column);
      return list;
    };
    const QList<int> wide = widthsAt(2), wider = widthsAt(3);
    for (int column = 0; column < ImageListModel::ColumnCount; ++column)
      QVERIFY2(wider[column] > wide[column], qPrintable(QString::number(column)));

    images->resize(screen.width() / 3, images->height());
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    QVERIFY(view->horizontalScrollBar()->value() > 0);
    QTableView* names = view->NameColumn();
    QVERIFY(names->isVisible());
    QCOMPARE(names->width(), view->columnWidth(ImageListModel::Name));
    QCOMPARE(names->indexAt(QPoint(2, 2)).data().toString(), name);

    // Going from cell to cell by the keyboard never leaves one under the names.
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, ImageListModel::Layout));
    for (int column = ImageListModel::Layout; column > ImageListModel::Name; --column) {
      QCOMPARE(view->currentIndex().column(), column);
      QVERIFY(view->visualRect(view->currentIndex()).left() >= names->width());
      QTest::keyClick(view, Qt::Key_Left);
    }
  }

  // Both bands of a strip stay within the cell, for every class of image.
  void stripsStayWithinTheirCells_data() {
    addRows(stripRows);
  }
  void stripsStayWithinTheirCells() {
    QFETCH(int, row);
    const StripRow& r = stripRows[row];
    RunFixture f;
    for (const auto& [name, data] : SampleImages()) f.putSource(name, data);
    ImageListModel& model = *f.main()->Images;
    survey(model);
    OutputLayout layout;
    QCOMPARE(ResolveLayout("0,1,8,9", "FF", r.padSize, r.padType, r.bank1Only, 0, &layout),
             LayoutError::None);
    QTableView view;
    view.setModel(&model);
    ImageListDelegate delegate;
    delegate.SetLayout(layout);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.widget = &view;
    option.rect = QRect(10, 10, ImageListDelegate::StripWidth(view.fontMetrics()), 40);
    int drawn = 0;
    for (int i = 0; i < model.rowCount(); ++i) {
      QImage image(option.rect.size() + QSize(20, 20), QImage::Format_ARGB32);
      image.fill(Qt::transparent);
      QPainter painter(&image);
      delegate.paint(&painter, option, model.index(i, ImageListModel::Layout));
      painter.end();
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
          const bool painted = qAlpha(image.pixel(x, y)) != 0;
          QVERIFY2(!painted || option.rect.contains(x, y), qPrintable(model.RowAt(i).name));
          drawn += painted;
        }
    }
    QVERIFY(drawn > 0);
  }

  // An image whose banks the marks cannot tell apart is left out until its layout is stated in
  // Read as...: then the list predicts it read as stated, and the window's run writes every bank
  // at its own number, for that file only or for every image of its length.
  void aLayoutStatedInTheListIsReadSo() {
    for (bool sameLength : {false, true}) {
      RunFixture f;
      const QByteArray b1 = Bank1(48 * 1024), b8 = Bank8(), b0 = Bank0(), b9 = Bank9();
      f.putSource("first.BIN", b1 + b8 + b0 + b9);  // 216K, the 48K bank 1 first
      f.putSource("second.BIN", b1 + b8 + b0 + b9);
      frm_Main* main = f.main();
      main->Show();
      main->cmdImages->click();
      frmImages* images = Forms::frmImages.loaded();
      QTableView* view = images->lvwImages;
      QTRY_VERIFY(!images->prgLook->isVisible() && view->model()->rowCount() == 2);
      const auto cell = [&](int column) {
        return view->model()->index(0, column).data().toString();
      };
      const QString told = cell(ImageListModel::Target);
      QVERIFY2(told.startsWith(
                   "refused, the banks cannot be told apart: slots 1 and 8 both read as bank 0"),
               qPrintable(told));

      view->setCurrentIndex(view->model()->index(0, ImageListModel::Name));
      QVERIFY(images->cmdReadAs->isEnabled());
      QTimer::singleShot(0, [sameLength] {
        frmReadAs* dialog = Forms::frmReadAs.loaded();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->optInputPad[0]->isEnabled());  // a 216K image has no fill to place
        dialog->txtInputOrder->setFocus();
        dialog->txtInputOrder->selectAll();
        QTest::keyClicks(dialog->txtInputOrder, "1,1,0,9");
        QVERIFY(!dialog->cmdOK->isEnabled());
        dialog->txtInputOrder->selectAll();
        QTest::keyClicks(dialog->txtInputOrder, "1,8,0,9");
        QCOMPARE(
            dialog->lblReading->text(),
            "slot 0: bank 1, 48K; slot 1: bank 8, 56K; slot 8: bank 0, 56K; slot 9: bank 9, 56K");
        if (sameLength) dialog->chkSameLength->click();
        QTest::keyClick(dialog->cmdOK, Qt::Key_Space);
      });
      images->cmdReadAs->click();
      QTRY_COMPARE(cell(ImageListModel::Target), "would be written as first.BIN");
      QVERIFY(cell(ImageListModel::Image).contains("read as stated: 1,8,0,9"));
      QTRY_VERIFY(!images->prgLook->isVisible());
      f.reorder();
      const QMap<QString, QByteArray> written = RunFixture::snapshot(f.target());
      QVERIFY(written.value("first.BIN") == b0 + b1 + b8 + b9);
      QCOMPARE(written.contains("second.BIN"), sameLength);
      if (sameLength) QVERIFY(written.value("second.BIN") == b0 + b1 + b8 + b9);
      main->Unload();
      flushClosedWindows();
    }
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
