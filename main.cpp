#include <QApplication>

#include "ui/frm_Main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral(QUILLET_TITLE));
  Forms::frm_Main->Show();
  return QApplication::exec();
}
