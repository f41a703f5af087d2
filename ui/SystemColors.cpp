#include "ui/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace SystemColors {

#ifdef Q_OS_WIN

QColor SystemColour(int index) {
  const DWORD colour = GetSysColor(index);
  return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

#else

// Elsewhere there is no numbered colour table; each index maps to the role of
// the desktop palette closest in meaning; any other index gives the text box
// background.
QColor SystemColour(int index) {
  const QPalette palette = QGuiApplication::palette();
  switch (index) {
    case InactiveBorder: {
      // Halfway between the button face and the mid shadow: a grey that
      // stands apart from the window around it like the classic border.
      const QColor face = palette.color(QPalette::Active, QPalette::Button);
      const QColor mid = palette.color(QPalette::Active, QPalette::Mid);
      return QColor((face.red() + mid.red()) / 2, (face.green() + mid.green()) / 2,
                    (face.blue() + mid.blue()) / 2);
    }
    case ButtonFace: return palette.color(QPalette::Active, QPalette::Button);
    default: return palette.color(QPalette::Active, QPalette::Base);
  }
}

#endif

}  // namespace SystemColors
