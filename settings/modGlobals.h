#pragma once

#include <QString>
#include <QStringList>

// Codes of the fixed choices; each equals the index of its option button in
// the options dialog.
enum OverwriteCode : quint8 { NeverOverwrite = 0, AlwaysOverwrite = 1, AskToOverwrite = 2 };
enum PadTypeCode : quint8 { RearPadding = 0, FrontPadding = 1 };
enum PadSizeValue : quint8 { NoPadding = 0, Padding56K = 1, Padding64K = 2 };

// Every choice the user makes: folders and extensions from the main window,
// the layout and overwrite policy from the options dialog.
struct ConversionSettingsRecord {
  QString Source;
  QString Target;
  QString SourceExt;
  QString TargetExt;
  QString OutOrder;
  quint8 Bank1Only = 0;
  quint8 Limit32K = 0;
  quint8 PadSize = 0;
  quint8 PadType = 0;
  QString PadValue;
  quint8 Overwrite = 0;

  bool operator==(const ConversionSettingsRecord&) const = default;
};

inline ConversionSettingsRecord ConversionSettings;

// Run state, filled by the main window right before a run and read by it.
inline QStringList FileList;
inline qint16 FileCount = 0;
inline qint32 FileIndex = 0;
inline bool Processing = false;
inline bool CancelRequested = false;

// Hand-over between the main window and the folder picker.
inline QString PickerCaption;
inline QString PickerFolder;

// Back to the state of a fresh process: empty texts, zero codes, no run.
void ResetGlobals();
