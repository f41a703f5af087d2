// The Images window: opened from the main window, it follows the source folder and a run (which
// locks the main window), filters to the files left out, sorts, copies inspect's text and stores
// nothing.
#include <QtTest>
#include <QtWidgets>

#include "batch/ImageList.h"
#include "settings/modGlobals.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frmImages.h"
#include "ui/frm_Main.h"

using namespace ImageBuilder;

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
    main->cmdImages->click();
    frmImages* images = Forms::frmImages.loaded();
    QVERIFY(images && images->isVisible());
    QTableView* view = images->lvwImages;
    QTRY_COMPARE(shownNames(view), (QStringList{"b.BIN", "odd.BIN"}));
    QTRY_COMPARE(images->lblCount->text(), QStringLiteral("2 files, 1 left out"));

    // A file put into the source folder is seen without a refresh.
    f.putSource(QStringLiteral("a.BIN"), Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true));
    QTRY_COMPARE_WITH_TIMEOUT(shownNames(view), (QStringList{"a.BIN", "b.BIN", "odd.BIN"}), 10000);
    view->sortByColumn(ImageListModel::Size, Qt::AscendingOrder);
    QCOMPARE(shownNames(view), (QStringList{"odd.BIN", "b.BIN", "a.BIN"}));

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
};

QTEST_MAIN(ImagesWindowTest)
#include "test_images_window.moc"
