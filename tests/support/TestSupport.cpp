#include "tests/support/TestSupport.h"

#include <QSettings>

#include "settings/modGlobals.h"

MessageRecorder::MessageRecorder() {
  Toolkit::SetMessageHandler([this](const Toolkit::Message& message) {
    shown.append(message);
    if (onShow) onShow(message);
    if (!answers_.isEmpty()) return answers_.takeFirst();
    return message.buttons == Toolkit::Buttons::OK ? Toolkit::Answer::OK : Toolkit::Answer::Yes;
  });
}

MessageRecorder::~MessageRecorder() {
  Toolkit::SetMessageHandler({});
}

QStringList MessageRecorder::titles() const {
  QStringList result;
  for (const auto& message : shown) result.append(message.title);
  return result;
}

TemporarySettingsStore::TemporarySettingsStore() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
}

TemporarySettingsStore::~TemporarySettingsStore() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString());
}

QString TemporarySettingsStore::storeFile() const {
  return dir_.path() + QStringLiteral("/Quillet/Quillet.conf");
}
