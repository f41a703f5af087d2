#pragma once

#include <QString>

// The per-user settings store: application "Quillet", sections "Folders" and
// "User", every value kept as text. On Windows it lives in the registry under
// HKEY_CURRENT_USER\Software\Quillet\Quillet, elsewhere in
// Quillet/Quillet.conf in the user's configuration folder.

// The stored text, or empty text when the key is absent.
QString GetSetting(const QString& appName, const QString& section, const QString& key);
void SaveSetting(const QString& appName, const QString& section, const QString& key,
                 const QString& setting);

// Why the store can be neither read nor written, in words that follow its
// location ("it is a folder", "it is a link to a file that holds none of
// Quillet's settings", "it cannot be read: Permission denied"); empty text
// when it can be used. A store that cannot be used is left as it is: every
// setting reads as absent, and nothing is saved.
QString SettingsProblem();

// Where the store is kept: empty, as at start, for the user's own store.
// Tests give each run a store of its own: on Windows a registry key below
// HKEY_CURRENT_USER (such as Software\QuilletTest), elsewhere a folder;
// the application's values then lie below it as they lie in the user's store.
void SetSettingsRoot(const QString& root);

// Fills ConversionSettings from the store and applies the defaults. Never
// fails: a value that cannot be taken leaves its field as it was.
void LoadSettings();

// The defaults that loading gives empty fields: the extensions ".BIN", the
// order "0,1,8,9" and the pad value "FF" (a one-digit pad value gets its
// leading 0). On a fresh record it gives what an empty store would.
void ApplySettingDefaults();

// Writes ConversionSettings to the store; false when the store could not be
// written (its folder or file cannot be created or replaced).
bool SaveSettings();

// Where the store keeps the values, as the user would look for it: the
// settings file, or the registry key on Windows.
QString SettingsLocation();
