#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QUuid>

#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tools/ImageBuilder.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#endif

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

QByteArray FourBankImage() {
  using namespace ImageBuilder;
  return Image224K({Bank0(), Bank1(), Bank8(), Bank9()});
}

bool TellsCaseApart(const QString& folder) {
  const QString probe = QDir(folder).filePath(QStringLiteral("case-probe"));
  ImageBuilder::WriteFile(probe, QByteArray());
  const bool apart = !QFileInfo::exists(QDir(folder).filePath(QStringLiteral("CASE-PROBE")));
  QFile::remove(probe);
  return apart;
}

bool UnderWine() {
#ifdef Q_OS_WIN
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

void Hide(const QString& path) {
#ifdef Q_OS_WIN
  const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
  SetFileAttributesW(name.c_str(), GetFileAttributesW(name.c_str()) | FILE_ATTRIBUTE_HIDDEN);
#else
  Q_UNUSED(path);
#endif
}

TemporarySettingsStore::TemporarySettingsStore() {
#ifdef Q_OS_WIN
  root_ = QStringLiteral("Software\\QuilletTest-") + QUuid::createUuid().toString(QUuid::Id128);
#else
  root_ = dir_.path();
#endif
  SetSettingsRoot(root_);
}

TemporarySettingsStore::~TemporarySettingsStore() {
  SetSettingsRoot(QString());
#ifdef Q_OS_WIN
  QSettings(QStringLiteral("HKEY_CURRENT_USER\\Software"), QSettings::NativeFormat)
      .remove(root_.section(u'\\', 1));
#endif
}

void TemporarySettingsStore::editByHand(const QString& section, const QString& key,
                                        const QString& line) {
  const QString text = QStringLiteral("[%1]\n%2=%3\n").arg(section, key, line);
#ifdef Q_OS_WIN
  // The registry holds the text that the line stands for.
  const QString file = dir_.filePath(QStringLiteral("edit.ini"));
  ImageBuilder::WriteFile(file, text.toUtf8());
  const QVariant value = QSettings(file, QSettings::IniFormat).value(section + u'/' + key);
  QSettings(QStringLiteral("HKEY_CURRENT_USER\\%1\\Quillet\\Quillet").arg(root_),
            QSettings::NativeFormat)
      .setValue(section + u'/' + key, value.toStringList().join(u','));
#else
  QDir(root_).mkpath(QStringLiteral("Quillet"));
  ImageBuilder::WriteFile(storeFile(), text.toUtf8());
#endif
}

QString TemporarySettingsStore::storedText(const QString& section, const QString& key) const {
#ifdef Q_OS_WIN
  const std::wstring path =
      QStringLiteral("%1\\Quillet\\Quillet\\%2").arg(root_, section).toStdWString();
  const std::wstring name = key.toStdWString();
  wchar_t data[512] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data,
                   &size) != ERROR_SUCCESS) {
    return QString();
  }
  return QString::fromWCharArray(data);
#else
  return QSettings(storeFile(), QSettings::IniFormat).value(section + u'/' + key).toString();
#endif
}

QMap<QString, QString> TemporarySettingsStore::contents() const {
#ifdef Q_OS_WIN
  QSettings store(QStringLiteral("HKEY_CURRENT_USER\\%1\\Quillet\\Quillet").arg(root_),
                  QSettings::NativeFormat);
#else
  QSettings store(storeFile(), QSettings::IniFormat);
#endif
  QMap<QString, QString> values;
  for (const QString& key : store.allKeys()) values.insert(key, store.value(key).toString());
  return values;
}

QString TemporarySettingsStore::storeFile() const {
  return dir_.path() + QStringLiteral("/Quillet/Quillet.conf");
}
