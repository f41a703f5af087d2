// The batch run: every listed source image converted into the target folder.
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <filesystem>
#include <system_error>

#include "batch/frmProcess.h"
#include "engine/BankTables.h"
#include "engine/ImageAssembly.h"
#include "engine/Lib_File.h"
#include "settings/modGlobals.h"
#include "ui/FileListBox.h"
#include "ui/Toolkit.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <QDir>
#include <string>
#endif

using Toolkit::Answer;
using Toolkit::Buttons;
using Toolkit::CRLF;
using Toolkit::Icon;
using Toolkit::MsgBox;

namespace {

#ifdef Q_OS_WIN

// The volume and index that identify a file or folder, whatever the case or
// form of its name; false when it cannot be opened.
bool identify(const QString& path, BY_HANDLE_FILE_INFORMATION* info) {
  const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
  // Backup semantics open folders too.
  const HANDLE handle =
      CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(handle, info) != 0;
  CloseHandle(handle);
  return known;
}

bool sameFile(const QString& a, const QString& b) {
  BY_HANDLE_FILE_INFORMATION x;
  BY_HANDLE_FILE_INFORMATION y;
  return identify(a, &x) && identify(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

#else

bool sameFile(const QString& a, const QString& b) {
  std::error_code error;
  return std::filesystem::equivalent(std::filesystem::path(a.toStdU16String()),
                                     std::filesystem::path(b.toStdU16String()), error);
}

#endif

// What a run needs to know to never write over one of its own sources:
// whether the target folder is the source folder (by identity, so a link or
// a name differing only in letter case counts), and the source names.
struct SourceGuard {
  bool sameFolder = false;
  QSet<QString> foldedNames;

  bool reachesSource(const QString& targetPath, const QString& targetName,
                     const QString& sourcePath) const {
    if (sameFile(targetPath, sourcePath)) return true;
    return sameFolder && foldedNames.contains(targetName.toCaseFolded());
  }
};

// The layout the whole run writes in, resolved once before the first file.
OutputLayout runLayout;
SourceGuard runGuard;

QString formatError(const QString& what) {
  return QStringLiteral("Invalid %1 format. Re-enter").arg(what);
}

}  // namespace

// True, after telling the user why, when the run must not start.
bool frmProcess::refuseRun() {
  const auto& s = ConversionSettings;
  if (s.TargetExt == s.SourceExt && s.Target == s.Source) {
    MsgBox(QStringLiteral("The Source and Target folders/extensions are the same.") + CRLF +
               QStringLiteral("Please change one of the folders/extensions before continuing."),
           Buttons::OK, Icon::Critical, QStringLiteral("Folder Error"));
    return true;
  }
  switch (ResolveLayout(s.OutOrder, s.PadValue, s.PadSize, s.PadType, s.Bank1Only, s.Limit32K,
                        &runLayout)) {
    case LayoutError::BadOrder:
      MsgBox(formatError(QStringLiteral("Bank Order")), Buttons::OK, Icon::Critical,
             QStringLiteral("Format Error"));
      return true;
    case LayoutError::BadPadValue:
      MsgBox(formatError(QStringLiteral("Pad Value")), Buttons::OK, Icon::Critical,
             QStringLiteral("Format Error"));
      return true;
    case LayoutError::None: break;
  }
  if (!Forms::frm_Main->File1->setPath(s.Target)) {
    MsgBox(QStringLiteral("The Target folder does not exist or cannot be read:") + CRLF + s.Target +
               CRLF + QStringLiteral("Please choose another target folder."),
           Buttons::OK, Icon::Critical, QStringLiteral("Folder Error"));
    return true;
  }
  runGuard = {};
  runGuard.sameFolder = sameFile(s.Source, s.Target);
  for (const QString& name : FileList) runGuard.foldedNames.insert(name.toCaseFolded());
  return false;
}

void frmProcess::StripFiles() {
  // A confirmed stop closes this window while the run still needs it.
  HoldDeletion();
  pbOverall->setMaximum(FileCount);
  ConvertedCount = 0;
  SkippedCount = 0;

  if (!refuseRun()) {
    for (FileIndex = 0; FileIndex < FileCount; ++FileIndex) {
      lblInfo->setText(QStringLiteral("Processing %1 files. %2 files are remaining.")
                           .arg(FileCount)
                           .arg(FileCount - FileIndex));
      pbOverall->setValue(FileIndex);
      switch (convertOne(FileList[FileIndex])) {
        case Outcome::Converted: ++ConvertedCount; break;
        case Outcome::Skipped: ++SkippedCount; break;
        case Outcome::Stopped: break;
      }
      if (CancelRequested) break;
    }
    if (FileIndex >= FileCount) FileIndex = FileCount - 1;

    MsgBox(QStringLiteral(" %1 total files were processed. ").arg(FileIndex + 1) + CRLF + CRLF +
               QStringLiteral(" %1 files were converted and  %2 were skipped.")
                   .arg(ConvertedCount)
                   .arg(SkippedCount),
           Buttons::OK, Icon::Information, QStringLiteral("Operation Complete"));
  }

  Processing = false;
  Unload();
  ReleaseDeletion();
}

frmProcess::Outcome frmProcess::convertOne(const QString& name) {
  const auto& s = ConversionSettings;
  const QString sourcePath = s.Source + name;
  lblFilename->setText(sourcePath);
  // The one point of the file at which clicks on this window are handled.
  Toolkit::DoEvents();

  // A name of fewer than four characters leaves no base name for a target.
  if (name.size() < 4) return Outcome::Skipped;
  const QString targetName = name.left(name.size() - 4) + s.TargetExt;
  const QString targetPath = s.Target + targetName;

  Lib_File::CloseAllGuard closeAll;
  if (!Lib_File::OpenForRead(Lib_File::InputFile, sourcePath)) return Outcome::Skipped;
  if (!ClassifyImage() || !ConvertFile()) return Outcome::Skipped;
  Lib_File::CloseAll();

  WriteAllowed = true;
  FileListBox* File1 = Forms::frm_Main->File1;
  File1->setPattern(targetName);
  const bool listed = File1->ListCount() > 0;
  if (runGuard.reachesSource(targetPath, targetName, sourcePath)) return Outcome::Skipped;
  if (!listed && QFileInfo::exists(targetPath)) {
    // Something the listing does not show (a hidden file, a folder) has
    // the target's name; it is never replaced without being asked about.
    return Outcome::Skipped;
  }
  if (listed) {
    switch (s.Overwrite) {
      case AskToOverwrite:
        switch (
            MsgBox(QStringLiteral("Do you want to overwrite the file") + CRLF + targetName + u'?',
                   Buttons::YesNoCancel, Icon::None, QStringLiteral("Confirm Overwrite?"))) {
          case Answer::Yes: break;
          case Answer::No: WriteAllowed = false; break;
          default: CancelRequested = true; return Outcome::Stopped;
        }
        break;
      case AlwaysOverwrite: break;
      default: WriteAllowed = false; break;  // never, and codes no option sets
    }
    if (!WriteAllowed) return Outcome::Skipped;
  }

  // The old target is replaced only once the new image is complete.
  if (!Lib_File::OpenForReplace(Lib_File::OutputFile, targetPath)) return Outcome::Skipped;
  if (!Lib_File::WriteBytes(Lib_File::OutputFile, Lib_File::CurrentPosition,
                            AssembleImage(runLayout)) ||
      !Lib_File::CommitFile(Lib_File::OutputFile)) {
    return Outcome::Skipped;
  }
  return Outcome::Converted;
}
