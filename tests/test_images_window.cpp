// The Images window: opened from the main window, it follows the source folder and a run,
// filters to the files left out, sorts, copies inspect's text and stores nothing.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "batch/ImageList.h"
#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/frmImages.h"
#include "ui/frm_Main.h"

namespace {

// The names of the rows as the window shows them, top to bottom.
QStringList shownNames(const QTableView* view) {
  QStringList names;
  for (int row = 0; row < view->model()->rowCount(); ++row)
    names << view->model()->index(row, ImageListModel::Name).data().toString();
  return names;
}

}  // namespace

class ImagesWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  void followsTheFolderAndTheRun() {
    RunFixture f;
    f.putSource(QStringLiteral("b.BIN"), FourBankImage());
    f.putSource(QStringLiteral("odd.BIN"), QByteArray(1000, '\x11'));
    frm_Main* main = f.main();
    main->Show();
    const QMap<QString, QString> stored = f.store().contents();
    QCOMPARE(main->cmdImages->text(), QStringLiteral("&Images"));
    main->cmdImages->click();
    frmImages* images = Forms::frmImages.loaded();
    QVERIFY(images && images->isVisible());
    QTableView* view = images->lvwImages;
    QTRY_COMPARE(shownNames(view), (QStringList{"b.BIN", "odd.BIN"}));
    QTRY_COMPARE(images->lblCount->text(), QStringLiteral("2 files, 1 left out"));

    // A file put into the source folder is seen without a refresh.
    f.putSource(QStringLiteral("a.BIN"),
                ImageBuilder::Image256K({ImageBuilder::Bank0(), ImageBuilder::Bank1(),
                                         ImageBuilder::Bank8(), ImageBuilder::Bank9()},
                                        true));
    QTRY_COMPARE_WITH_TIMEOUT(shownNames(view), (QStringList{"a.BIN", "b.BIN", "odd.BIN"}), 10000);
    view->sortByColumn(ImageListModel::Size, Qt::DescendingOrder);
    QCOMPARE(shownNames(view), (QStringList{"a.BIN", "b.BIN", "odd.BIN"}));
    view->sortByColumn(ImageListModel::Size, Qt::AscendingOrder);
    QCOMPARE(shownNames(view), (QStringList{"odd.BIN", "b.BIN", "a.BIN"}));

    // After a run the file left out is one click away, with the run's reason.
    f.reorder();
    QCOMPARE(f.messages.titles(), QStringList{QStringLiteral("Operation Complete")});
    QTest::mouseClick(images->chkLeftOut, Qt::LeftButton);
    QTRY_COMPARE(shownNames(view), QStringList{"odd.BIN"});
    const QString reason = view->model()->index(0, ImageListModel::Target).data().toString();
    QVERIFY2(reason.startsWith(QStringLiteral("refused, ")), qPrintable(reason));
    QTest::mouseClick(images->chkLeftOut, Qt::LeftButton);
    QCOMPARE(view->model()->rowCount(), 3);

    // Copying a row gives what inspect tells of the file.
    view->sortByColumn(ImageListModel::Name, Qt::AscendingOrder);
    view->selectRow(0);
    view->setFocus();
    QTest::keySequence(view, QKeySequence::Copy);
    QProcess cli;
    cli.start(QStringLiteral(QUILLET_CLI), {QStringLiteral("inspect"), f.source() + "a.BIN"});
    QVERIFY(cli.waitForFinished(30000));
    const QString inspected = QString::fromUtf8(cli.readAllStandardOutput())
                                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                  .replace(f.source(), QString());
    QCOMPARE(QGuiApplication::clipboard()->text(), inspected);

    // Its size and columns are not settings; it goes with the main window.
    images->resize(images->size() + QSize(40, 40));
    images->Unload();
    QCOMPARE(f.store().contents(), stored);
    main->cmdImages->click();
    QVERIFY(Forms::frmImages.loaded());
    main->Unload();
    QVERIFY(!Forms::frmImages.loaded());
  }

  // While a run goes on the list takes no look of its own, and Refresh waits for the run.
  void aRunWithTheListOpenIsTheRunWithout() {
    RunFixture f;
    for (const char* name : {"a.BIN", "b.BIN", "c.BIN"}) f.putSource(name, FourBankImage());
    f.main()->Show();
    f.main()->cmdImages->click();
    frmImages* images = Forms::frmImages.loaded();
    QTRY_COMPARE(images->lblCount->text(), QStringLiteral("3 files, 0 left out"));
    bool refreshable = true;
    f.messages.onShow = [&](const Toolkit::Message&) {
      refreshable = images->cmdRefresh->isEnabled();
    };
    f.reorder();
    QVERIFY(!refreshable);
    QCOMPARE(RunFixture::snapshot(f.target()).keys(), (QStringList{"a.BIN", "b.BIN", "c.BIN"}));
    QTRY_VERIFY(images->cmdRefresh->isEnabled());
    const QString converted =
        images->lvwImages->model()->index(0, ImageListModel::Target).data().toString();
    QVERIFY2(converted.contains(QStringLiteral("a.BIN")), qPrintable(converted));
  }
};

QTEST_MAIN(ImagesWindowTest)
#include "test_images_window.moc"
