#include "settings/AppIdentity.h"

QString AppCaption() {
  return QStringLiteral("%1 - v%2.%3.%4")
      .arg(QStringLiteral(QUILLET_TITLE))
      .arg(QUILLET_VERSION_MAJOR)
      .arg(QUILLET_VERSION_MINOR, 2, 10, QLatin1Char('0'))
      .arg(QUILLET_VERSION_REVISION, 4, 10, QLatin1Char('0'));
}

QString AppVersion() {
  return QStringLiteral("%1.%2.%3")
      .arg(QUILLET_VERSION_MAJOR)
      .arg(QUILLET_VERSION_MINOR)
      .arg(QUILLET_VERSION_REVISION);
}
