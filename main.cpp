#include <QApplication>
#include <QIcon>

#include "ui/frm_Main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral(QUILLET_TITLE));
  // Every window carries the program's icon; the desktop file name ties
  // the running program to its menu entry.
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/quillet-48.png"));
  icon.addFile(QStringLiteral(":/icons/quillet-256.png"));
  QApplication::setWindowIcon(icon);
  QGuiApplication::setDesktopFileName(QStringLiteral(QUILLET_APP_ID));
  Forms::frm_Main->Show();
  return QApplication::exec();
}
