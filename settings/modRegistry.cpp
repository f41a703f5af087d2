#include "settings/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

#include "settings/modGlobals.h"

namespace {

const QString AppName = QStringLiteral("Quillet");
const QString Folders = QStringLiteral("Folders");
const QString User = QStringLiteral("User");

const QString Organisation = QStringLiteral("Quillet");

// QUILLET_SETTINGS_ROOT keeps the settings apart from the user's own: in
// that folder, or on Windows under that key of HKEY_CURRENT_USER.
QString& settingsRoot() {
  static QString root = qEnvironmentVariable("QUILLET_SETTINGS_ROOT");
  return root;
}

QSettings openStore(const QString& appName) {
  const QString& root = settingsRoot();
  if (root.isEmpty()) {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, Organisation, appName);
  }
#ifdef Q_OS_WIN
  return QSettings(QStringLiteral("HKEY_CURRENT_USER\\%1\\%2\\%3").arg(root, Organisation, appName),
                   QSettings::NativeFormat);
#else
  return QSettings(QStringLiteral("%1/%2/%3.conf").arg(root, Organisation, appName),
                   QSettings::NativeFormat);
#endif
}

// The file the store is kept in; none where it is the registry.
QString storeFile() {
#ifdef Q_OS_WIN
  return {};
#else
  QString base = settingsRoot();
  if (base.isEmpty())
    base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QStringLiteral("%1/%2/%3.conf").arg(base, Organisation, AppName);
#endif
}

QString keyPath(const QString& section, const QString& key);

// Every key the program keeps, as the store names them.
const QStringList& ownKeys() {
  static const QStringList keys{
      keyPath(Folders, QStringLiteral("Source")),    keyPath(Folders, QStringLiteral("Target")),
      keyPath(Folders, QStringLiteral("SourceExt")), keyPath(Folders, QStringLiteral("TargetExt")),
      keyPath(User, QStringLiteral("OutOrder")),     keyPath(User, QStringLiteral("Overwrite")),
      keyPath(User, QStringLiteral("PadType")),      keyPath(User, QStringLiteral("PadSize")),
      keyPath(User, QStringLiteral("PadValue"))};
  return keys;
}

// Why the store kept in a file can be neither read nor written, or empty
// text. Only a regular file, or none yet, is the program's store: a pipe or
// a device in its place would hold the program up for ever. A link to a
// file is followed only when that file holds the program's settings
// already, as a link that a dotfile manager keeps does: anything else
// behind a link is another program's file, never to be read as settings
// nor replaced by them.
QString storeProblem() {
  const QString file = storeFile();
  if (file.isEmpty()) return {};
  const QFileInfo info(file);
  if (info.isSymLink()) {
    const QFileInfo linked(info.symLinkTarget());
    if (!linked.exists()) return QStringLiteral("it is a link that leads nowhere");
    if (!linked.isFile()) return QStringLiteral("it is a link to something other than a file");
    QSettings store(file, QSettings::IniFormat);
    const bool own = std::any_of(ownKeys().begin(), ownKeys().end(),
                                 [&](const QString& key) { return store.contains(key); });
    if (!own) return QStringLiteral("it is a link to a file that holds none of Quillet's settings");
  } else if (info.isDir()) {
    return QStringLiteral("it is a folder");
  } else if (info.exists() && !info.isFile()) {
    return QStringLiteral("it is not a regular file");
  }
  if (!info.exists()) {
    // The folder it is to be made in must be one.
    const QFileInfo folder(info.path());
    if (folder.exists() && !folder.isDir()) return QStringLiteral("its folder is a file");
    return {};
  }
  QFile readable(file);
  if (!readable.open(QIODevice::ReadOnly)) {
    return QStringLiteral("it cannot be read: ") + readable.errorString();
  }
  return {};
}

bool storeUsable() {
  return storeProblem().isEmpty();
}

QString keyPath(const QString& section, const QString& key) {
  return section + u'/' + key;
}

// A code is the whole number 0 to 255 that the stored text denotes; any
// other text leaves the field as it was.
void loadCode(const QString& key, quint8* field) {
  const QString text = GetSetting(AppName, User, key).trimmed();
  if (text.isEmpty()) return;
  int value = 0;
  for (QChar c : text) {
    if (c < u'0' || c > u'9') return;
    value = value * 10 + (c.unicode() - u'0');
    if (value > 255) return;
  }
  *field = static_cast<quint8>(value);
}

}  // namespace

QString GetSetting(const QString& appName, const QString& section, const QString& key) {
  if (!storeUsable()) return {};
  const QVariant value = openStore(appName).value(keyPath(section, key));
  // A hand-edited file may hold an unquoted text with commas, which the
  // store reads back as a list; it still means the text as written.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(u',');
  }
  return value.toString();
}

void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& setting) {
  if (storeUsable()) openStore(appName).setValue(keyPath(section, key), setting);
}

void SetSettingsRoot(const QString& root) {
  settingsRoot() = root;
}

void LoadSettings() {
  auto& s = ConversionSettings;
  s.Source = GetSetting(AppName, Folders, QStringLiteral("Source"));
  s.Target = GetSetting(AppName, Folders, QStringLiteral("Target"));
  s.SourceExt = GetSetting(AppName, Folders, QStringLiteral("SourceExt"));
  s.TargetExt = GetSetting(AppName, Folders, QStringLiteral("TargetExt"));
  s.OutOrder = GetSetting(AppName, User, QStringLiteral("OutOrder"));
  loadCode(QStringLiteral("Overwrite"), &s.Overwrite);
  loadCode(QStringLiteral("PadType"), &s.PadType);
  loadCode(QStringLiteral("PadSize"), &s.PadSize);
  s.PadValue = GetSetting(AppName, User, QStringLiteral("PadValue"));
  ApplySettingDefaults();
}

void ApplySettingDefaults() {
  auto& s = ConversionSettings;
  if (s.SourceExt.isEmpty()) s.SourceExt = QStringLiteral(".BIN");
  if (s.TargetExt.isEmpty()) s.TargetExt = QStringLiteral(".BIN");
  if (s.OutOrder.isEmpty()) s.OutOrder = QStringLiteral("0,1,8,9");
  if (s.PadValue.isEmpty()) s.PadValue = QStringLiteral("FF");
  if (s.PadValue.size() == 1) s.PadValue.prepend(u'0');
}

bool SaveSettings() {
  const auto& s = ConversionSettings;
  if (!storeUsable()) return false;
  QSettings store = openStore(AppName);
  store.setValue(keyPath(Folders, QStringLiteral("Source")), s.Source);
  store.setValue(keyPath(Folders, QStringLiteral("Target")), s.Target);
  store.setValue(keyPath(Folders, QStringLiteral("SourceExt")), s.SourceExt);
  store.setValue(keyPath(Folders, QStringLiteral("TargetExt")), s.TargetExt);
  store.setValue(keyPath(User, QStringLiteral("OutOrder")), s.OutOrder);
  store.setValue(keyPath(User, QStringLiteral("Overwrite")), QString::number(s.Overwrite));
  store.setValue(keyPath(User, QStringLiteral("PadType")), QString::number(s.PadType));
  store.setValue(keyPath(User, QStringLiteral("PadSize")), QString::number(s.PadSize));
  store.setValue(keyPath(User, QStringLiteral("PadValue")), s.PadValue);
  store.sync();
  if (store.status() != QSettings::FormatError) return store.status() == QSettings::NoError;
  // A line of a hand-edited file that the store could not read is reported
  // while the old file is read, before anything is written, and then hides
  // whether the write worked. A second look at the same store writes what
  // is still pending, if anything, and reports only that.
  QSettings again = openStore(AppName);
  again.sync();
  return again.status() == QSettings::NoError;
}

QString SettingsProblem() {
  return storeProblem();
}

QString SettingsLocation() {
  const QString file = storeFile();
  return QDir::toNativeSeparators(file.isEmpty() ? openStore(AppName).fileName() : file);
}
