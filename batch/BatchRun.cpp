// The batch run: every listed source image converted into the target folder.
#include "batch/BatchRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <future>
#include <set>
#include <system_error>
#include <vector>

#include "batch/FileListBox.h"
#include "batch/TargetFolder.h"
#include "engine/BankTables.h"
#include "engine/ImageAssembly.h"
#include "engine/Lib_File.h"
#include "engine/NativeFile.h"
#include "settings/modGlobals.h"

using Toolkit::Answer;
using Toolkit::Buttons;
using Toolkit::CRLF;
using Toolkit::Icon;
using Toolkit::Message;

namespace {

// Written targets are put in place together, so that the wait for the disk
// is paid once for many files. While one batch is being flushed to the disk
// the next is written, so a kill loses at most two batches' work.
constexpr int BatchFiles = 256;
constexpr qint64 BatchMilliseconds = 250;

Message folderError(const QString& prompt) {
  return {prompt, Buttons::OK, Icon::Critical, QStringLiteral("Folder Error")};
}

Message folderError(const QString& problem, const QString& folder, const QString& advice) {
  return folderError(problem + CRLF + folder + CRLF + advice);
}

Message formatError(const QString& what) {
  return {QStringLiteral("Invalid %1 format. Re-enter").arg(what), Buttons::OK, Icon::Critical,
          QStringLiteral("Format Error")};
}

bool isSeparator(QChar c) {
#ifdef Q_OS_WIN
  if (c == u'\\') return true;
#endif
  return c == u'/';
}

std::optional<NativeFile::Identity> folderIdentity(const QString& folder) {
  return NativeFile::IdentityOf(folder, true);
}

// An extension is appended to names in the target folder: it must not
// lead out of it, nor hold what the system refuses in a name.
std::optional<Message> extensionError(const QString& which, const QString& extension) {
  bool allowed = !extension.contains(QStringLiteral(".."));
  for (QChar c : extension) allowed = allowed && NativeFile::IsAllowedInName(c);
  if (allowed) return std::nullopt;
  return Message{QStringLiteral("The %1 extension cannot be used in a file name:").arg(which) +
                     CRLF + extension + CRLF +
                     QStringLiteral("An extension may not hold a path separator, \"..\" or a "
                                    "character that file names cannot hold."),
                 Buttons::OK, Icon::Critical, QStringLiteral("Extension Error")};
}

// Written targets waiting to be put in place, and the outcomes of the files
// taken up since the first of them: outcomes are final, counted and
// reported, in list order, only once the files before them are in place.
// The files wait in two groups: the open one, being written, and the sealed
// one, being put in place on a thread of its own meanwhile. That thread only
// waits for the disk and moves the group's own files; the run, its counters,
// its reports and every question stay on the user-interface thread.
class TargetBatch {
 public:
  TargetBatch(TargetFolder* folder, RunFrontEnd& frontEnd, RunTotals& totals)
      : folder_(folder), frontEnd_(frontEnd), totals_(totals) {
    active = this;
  }
  ~TargetBatch() {
    Commit();
    active = nullptr;
  }

  // The batch of the run under way, if any: a question to the user puts
  // its files in place first, since the user may take hours to answer.
  static inline TargetBatch* active = nullptr;

  void AddFinal(FileReport report) {
    open_.entries.push_back({std::move(report), false, {}});
    if (open_.pending == 0 && !sealed_.placing.valid()) Commit();
  }

  void AddPending(FileReport report, TargetFolder::Placing placing) {
    if (open_.pending == 0) clock_.start();
    ++open_.pending;
    open_.names.insert(report.targetName.toCaseFolded());
    open_.entries.push_back({std::move(report), true, std::move(placing)});
  }

  // Whether a target of this name waits to be put in place; letter case is
  // ignored, as some file systems do.
  bool Holds(const QString& targetName) const {
    const QString name = targetName.toCaseFolded();
    return open_.names.contains(name) || sealed_.names.contains(name);
  }

  // Once the open group is full or old enough: reports the sealed group,
  // waiting for it if need be, and starts putting the open group in place.
  void Advance() {
    if (open_.pending < BatchFiles && !(open_.pending > 0 && clock_.hasExpired(BatchMilliseconds)))
      return;
    report(sealed_);
    sealed_ = std::move(open_);
    open_ = Group{};
    try {
      sealed_.placing = std::async(std::launch::async, &Group::PutInPlace, &sealed_, folder_);
    } catch (const std::system_error&) {
      sealed_.PutInPlace(folder_);  // no thread to be had: the run just waits for the disk
    }
  }

  // Puts every written file in place now.
  void Commit() {
    report(sealed_);
    open_.PutInPlace(folder_);
    report(open_);
  }

 private:
  struct Entry {
    FileReport report;
    bool written;
    TargetFolder::Placing placing;
  };
  struct Group {
    std::vector<Entry> entries;
    QSet<QString> names;
    int pending = 0;
    std::future<void> placing;

    // Touches nothing but the group and the held folder.
    void PutInPlace(TargetFolder* folder) {
      if (pending == 0) return;
      std::vector<TargetFolder::Placing> files;
      files.reserve(pending);
      for (Entry& entry : entries) {
        if (entry.written) files.push_back(std::move(entry.placing));
      }
      folder->Place(files);
      auto placed = files.begin();
      for (Entry& entry : entries) {
        if (!entry.written) continue;
        using Result = TargetFolder::Placing::Result;
        if (placed->result != Result::Placed) {
          entry.report.outcome = FileOutcome::Skipped;
          entry.report.action =
              placed->result == Result::Kept ? TargetAction::Keep : TargetAction::None;
          entry.report.reason = placed->reason;
        }
        ++placed;
      }
      pending = 0;
    }
  };

  void report(Group& group) {
    if (group.placing.valid()) group.placing.get();
    for (const Entry& entry : group.entries) {
      if (entry.report.outcome == FileOutcome::Converted) ++totals_.converted;
      if (entry.report.outcome == FileOutcome::Skipped) ++totals_.skipped;
      frontEnd_.FileDone(entry.report);
    }
    if (!group.entries.empty()) frontEnd_.CountsChanged(totals_);
    group = Group{};
  }

  TargetFolder* folder_;
  RunFrontEnd& frontEnd_;
  RunTotals& totals_;
  Group open_;
  Group sealed_;
  QElapsedTimer clock_;
};

class Run {
 public:
  Run(RunFrontEnd& frontEnd, const RunOptions& options)
      : frontEnd_(frontEnd),
        options_(options),
        source_(FolderWithSeparator(ConversionSettings.Source)),
        target_(FolderWithSeparator(ConversionSettings.Target)) {}

  RunTotals Go() {
    if (auto refusal = check()) {
      frontEnd_.MsgBox(*refusal);
      return totals_;
    }
    {
      TargetBatch batch(folder_.get(), frontEnd_, totals_);
      for (FileIndex = 0; FileIndex < FileCount; ++FileIndex) {
        convert(FileList[FileIndex], batch);
        if (CancelRequested) break;
        batch.Advance();
      }
    }
    folder_.reset();  // lets go of the folder and its lock before the summary
    if (FileIndex >= FileCount) FileIndex = FileCount - 1;
    totals_.total = FileIndex + 1;
    totals_.end = CancelRequested ? RunEnd::Stopped : RunEnd::Completed;
    frontEnd_.MsgBox({QStringLiteral(" %1 total files were processed. ").arg(totals_.total) + CRLF +
                          CRLF +
                          QStringLiteral(" %1 files were converted and  %2 were skipped.")
                              .arg(totals_.converted)
                              .arg(totals_.skipped),
                      Buttons::OK, Icon::Information, QStringLiteral("Operation Complete")});
    return totals_;
  }

 private:
  // The message that refuses the run before any file is read, if any.
  std::optional<Message> check() {
    const auto& s = ConversionSettings;
    const Message sameFolder = folderError(
        QStringLiteral("The Source and Target folders/extensions are the same.") + CRLF +
        QStringLiteral("Please change one of the folders/extensions before continuing."));
    if (!options_.listedPaths && s.TargetExt == s.SourceExt && s.Target == s.Source) {
      return sameFolder;
    }
    if (auto refusal = extensionError(QStringLiteral("Source"), s.SourceExt)) return refusal;
    if (auto refusal = extensionError(QStringLiteral("Target"), s.TargetExt)) return refusal;
    switch (ResolveLayout(s.OutOrder, s.PadValue, s.PadSize, s.PadType, s.Bank1Only, s.Limit32K,
                          &layout_)) {
      case LayoutError::BadOrder: return formatError(QStringLiteral("Bank Order"));
      case LayoutError::BadPadValue: return formatError(QStringLiteral("Pad Value"));
      case LayoutError::None: break;
    }
    const Message unreadable =
        folderError(QStringLiteral("The Target folder does not exist or cannot be read:"), s.Target,
                    QStringLiteral("Please choose another target folder."));
    if (!NativeFile::IsReadableFolder(target_)) return unreadable;
    // The same folder may be reached by another name: a link, letter case.
    const auto targetFolder = folderIdentity(target_);
    const bool oneFolder =
        !options_.listedPaths && targetFolder && targetFolder == folderIdentity(source_);
    if (oneFolder && s.TargetExt == s.SourceExt) return sameFolder;
    TargetFolder::Refusal refusal = TargetFolder::Refusal::None;
    folder_ = TargetFolder::Begin(target_, !options_.dryRun, &refusal);
    switch (refusal) {
      case TargetFolder::Refusal::None: return std::nullopt;
      case TargetFolder::Refusal::CannotOpen: return unreadable;
      case TargetFolder::Refusal::CannotWrite:
        return folderError(QStringLiteral("The Target folder cannot be written:"), s.Target,
                           QStringLiteral("Please choose another target folder."));
      case TargetFolder::Refusal::Busy:
        return Message{QStringLiteral("Another run is writing into the Target folder:") + CRLF +
                           s.Target + CRLF +
                           QStringLiteral("Please wait until it has ended, or choose another "
                                          "target folder."),
                       Buttons::OK, Icon::Exclamation, QStringLiteral("Folder Busy")};
    }
    return std::nullopt;
  }

  void convert(const QString& name, TargetBatch& batch) {
    const QString sourcePath = options_.listedPaths ? name : source_ + name;
    frontEnd_.ShowProgress(FileIndex, FileCount, sourcePath);
    frontEnd_.EventPoint();

    FileReport report{name, {}, -1, FileOutcome::Skipped, {}, Refusal::None};
    auto skip = [&](const QString& reason) {
      report.reason = reason;
      batch.AddFinal(std::move(report));
    };
    // An image the recognition refuses: skipped, with the check that failed.
    auto refuse = [&](Refusal refusal) {
      report.refusal = refusal;
      report.reason = RefusalText(refusal);
      batch.AddFinal(std::move(report));
    };
    auto keep = [&]() {
      report.action = TargetAction::Keep;
      skip(QStringLiteral("the target exists and was kept"));
    };
    {
      Lib_File::CloseAllGuard closeAll;
      QString why;
      if (!Lib_File::OpenForRead(Lib_File::InputFile, sourcePath, &why)) return skip(why);
      const QString fileName = options_.listedPaths ? QFileInfo(name).fileName() : name;
      // A name of fewer than four characters leaves no base name for a target.
      if (fileName.size() < 4) return skip(QStringLiteral("the name leaves no target name"));
      report.targetName = fileName.left(fileName.size() - 4) + ConversionSettings.TargetExt;
      report.length = Lib_File::FileLength(Lib_File::InputFile);
      if (!ClassifyImage()) return refuse(Refusal::UnknownLength);
      if (!ConvertFile()) return refuse(LastRecognition.refusal);
    }

    // What stands at the target's name must be seen as it will be when the
    // files before this one are in place.
    if (batch.Holds(report.targetName)) batch.Commit();
    const NativeFile::Entry entry = folder_->EntryAt(report.targetName);
    if (entry == NativeFile::Entry::Unlisted) {
      // A folder, a link to one, a pipe or a hidden file is never replaced
      // or asked about.
      return skip(QStringLiteral("something other than a file has the target's name"));
    }
    // Replacing would fail on Windows and silently undo the marking elsewhere.
    if (entry == NativeFile::Entry::ReadOnly)
      return skip(QStringLiteral("the target is read-only"));
    report.action = TargetAction::Create;
    if (entry == NativeFile::Entry::File) {
      if (isSource(report.targetName)) return skip(QStringLiteral("the target is a source"));
      report.action = TargetAction::Replace;
      switch (ConversionSettings.Overwrite) {
        case AskToOverwrite:
          if (options_.dryRun) {
            report.action = TargetAction::Ask;
            break;
          }
          batch.Commit();  // nothing finished waits on the user's answer
          switch (frontEnd_.MsgBox({QStringLiteral("Do you want to overwrite the file") + CRLF +
                                        report.targetName + u'?',
                                    Buttons::YesNoCancel, Icon::None,
                                    QStringLiteral("Confirm Overwrite?")})) {
            case Answer::Yes: break;
            case Answer::No: return keep();
            default:
              CancelRequested = true;
              report.action = TargetAction::None;
              report.outcome = FileOutcome::Stopped;
              report.reason = QStringLiteral("stopped at the overwrite question");
              return batch.AddFinal(std::move(report));
          }
          break;
        case AlwaysOverwrite: break;
        default: return keep();  // never, and unknown codes
      }
    }
    if (options_.dryRun) {
      report.outcome = FileOutcome::Converted;
      return batch.AddFinal(std::move(report));
    }

    // The old target stays until the new image is complete and flushed.
    Lib_File::CloseAllGuard closeAll;
    QString why;
    if (!folder_->Write(Lib_File::OutputFile, report.targetName, &why)) return skip(why);
    AssembleImage(layout_, &image_);
    if (!Lib_File::WriteBytes(Lib_File::OutputFile, Lib_File::CurrentPosition, image_)) {
      return skip(QStringLiteral("the target could not be written"));
    }
    TargetFolder::Placing placing;
    placing.file = Lib_File::TakeReplacement(Lib_File::OutputFile);
    // Its bytes start on their way to the disk, and the file is let go of
    // until its flush: a batch never holds many files open.
    if (!placing.file->FinishWriting())
      return skip(QStringLiteral("the target could not be written"));
    // Only what the user saw and allowed is replaced: a file that appears
    // at a free name meanwhile is kept.
    placing.replace = report.action == TargetAction::Replace;
    report.outcome = FileOutcome::Converted;
    batch.AddPending(std::move(report), std::move(placing));
  }

  // Whether the target of this name is one of the run's sources: the same
  // folder entry, or the file a source leads to through a link. A target
  // must never take the place of a source. The sources are looked up the
  // first time a target exists.
  bool isSource(const QString& targetName) {
    if (!sourcesKnown_) {
      sourcesKnown_ = true;
      for (const QString& name : FileList) {
        const QString source = options_.listedPaths ? name : source_ + name;
        for (bool follow : {false, true}) {
          if (auto identity = NativeFile::IdentityOf(source, follow)) sources_.insert(*identity);
        }
      }
    }
    const auto identity = folder_->IdentityOf(targetName);
    return identity && sources_.count(*identity);
  }

  RunFrontEnd& frontEnd_;
  const RunOptions options_;
  const QString source_;
  const QString target_;
  std::unique_ptr<TargetFolder> folder_;
  OutputLayout layout_;
  QByteArray image_;  // the output image, its memory reused from file to file
  std::set<NativeFile::Identity> sources_;
  bool sourcesKnown_ = false;
  RunTotals totals_;
};

}  // namespace

QString FolderWithSeparator(const QString& folder) {
  if (folder.isEmpty() || isSeparator(folder.back())) return folder;
  return folder + QDir::separator();
}

std::optional<Message> ListSourceFiles(FileListBox& list, const QString& folder,
                                       const QString& sourceExt) {
  if (auto refusal = extensionError(QStringLiteral("Source"), sourceExt)) return refusal;
  const QString pattern = u'*' + sourceExt;
  if (!list.setPath(folder)) {
    return folderError(QStringLiteral("The Source folder does not exist or cannot be read:"),
                       folder, QStringLiteral("Please choose another source folder."));
  }
  list.setPattern(pattern);
  const int count = list.ListCount();
  if (count == 0) {
    return Message{QStringLiteral("No '%1' files found in source folder.").arg(pattern),
                   Buttons::OK, Icon::Information, QStringLiteral("No Files Found")};
  }
  if (count > MaxRunFiles) {
    return Message{QStringLiteral("There are %1 '%2' files in the source folder; one run takes at "
                                  "most %3.")
                           .arg(count)
                           .arg(pattern)
                           .arg(MaxRunFiles) +
                       CRLF + QStringLiteral("Please move some of them to another folder."),
                   Buttons::OK, Icon::Exclamation, QStringLiteral("Too Many Files")};
  }
  FileCount = static_cast<qint16>(count);
  FileList.clear();
  FileList.reserve(FileCount);
  for (FileIndex = 0; FileIndex < FileCount; ++FileIndex) {
    list.setListIndex(FileIndex);
    FileList.append(list.FileName());
  }
  return std::nullopt;
}

std::optional<Message> ListSourcePaths(const QStringList& paths) {
  if (paths.isEmpty()) {
    return Message{QStringLiteral("No files were given."), Buttons::OK, Icon::Information,
                   QStringLiteral("No Files Found")};
  }
  if (paths.size() > MaxRunFiles) {
    return Message{QStringLiteral("%1 files were given; one run takes at most %2.")
                       .arg(paths.size())
                       .arg(MaxRunFiles),
                   Buttons::OK, Icon::Exclamation, QStringLiteral("Too Many Files")};
  }
  FileList = paths;
  FileCount = static_cast<qint16>(paths.size());
  FileIndex = 0;
  return std::nullopt;
}

void PlaceWrittenTargets() {
  if (TargetBatch::active) TargetBatch::active->Commit();
}

RunTotals RunBatch(RunFrontEnd& frontEnd, const RunOptions& options) {
  return Run(frontEnd, options).Go();
}
