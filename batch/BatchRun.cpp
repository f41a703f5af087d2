// The batch run: every listed source image converted into the target folder.
#include "batch/BatchRun.h"

#include <QDir>
#include <QFileInfo>
#include <set>

#include "batch/FileListBox.h"
#include "batch/ImageWords.h"
#include "batch/TargetFolder.h"
#include "batch/TargetQueue.h"
#include "engine/ImageAssembly.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_File.h"
#include "settings/modGlobals.h"

using Toolkit::Answer;
using Toolkit::Message;

namespace {

bool isSeparator(QChar c) {
#ifdef Q_OS_WIN
  if (c == u'\\') return true;
#endif
  return c == u'/';
}

// An extension is appended to names in the target folder: it must not
// lead out of it, nor hold what the system refuses in a name.
std::optional<Message> extensionError(const QString& which, const QString& extension) {
  bool allowed = !extension.contains(QStringLiteral(".."));
  for (QChar c : extension) allowed = allowed && NativeFile::IsAllowedInName(c);
  if (allowed) return std::nullopt;
  return RunMessages::BadExtension(which, extension);
}

}  // namespace

bool RunFrontEnd::StopRequested() const {
  return CancelRequested;
}

class BatchRun::Run {
 public:
  Run(RunFrontEnd& frontEnd, const RunOptions& options, const ConversionSettingsRecord& settings,
      const QStringList& files, const QList<NativeFile::FolderEntry>& passedOver, bool global)
      : frontEnd_(frontEnd),
        options_(options),
        settings_(settings),
        files_(files),
        passedOver_(passedOver),
        global_(global),
        source_(FolderWithSeparator(settings.Source)),
        target_(FolderWithSeparator(settings.Target)) {}

  RunTotals Go() {
    if (auto refusal = check()) {
      frontEnd_.MsgBox(*refusal);
      return totals_;
    }
    const int count = static_cast<int>(files_.size());
    int index = 0;
    {
      TargetQueue queue(folder_.get(),
                        [this](const std::vector<FileReport>& group) { settle(group); });
      queue_ = &queue;
      for (; index < count; ++index) {
        if (global_) FileIndex = index;
        convert(index, queue);
        if (stopped_ || frontEnd_.StopRequested()) break;
        queue.Advance();
      }
      queue_ = nullptr;
    }
    folder_.reset();  // lets go of the folder and its lock before the summary
    for (const NativeFile::FolderEntry& entry : passedOver_) frontEnd_.PassedOver(entry);
    if (index >= count) index = count - 1;
    if (global_) FileIndex = index;
    totals_.total = index + 1;
    totals_.end = stopped_ || frontEnd_.StopRequested() ? RunEnd::Stopped : RunEnd::Completed;
    frontEnd_.MsgBox(RunMessages::Summary(totals_.total, totals_.converted, totals_.skipped));
    return totals_;
  }

  void PlaceWrittenTargets() {
    if (queue_) queue_->Commit();
  }

 private:
  // The message that refuses the run before any file is read, if any.
  std::optional<Message> check() {
    const auto& s = settings_;
    if (!options_.listedPaths && s.TargetExt == s.SourceExt && s.Target == s.Source) {
      return RunMessages::SameFolders();
    }
    if (auto refusal = extensionError(QStringLiteral("Source"), s.SourceExt)) return refusal;
    if (auto refusal = extensionError(QStringLiteral("Target"), s.TargetExt)) return refusal;
    switch (ResolveLayout(s.OutOrder, s.PadValue, s.PadSize, s.PadType, s.Bank1Only, s.Limit32K,
                          &layout_)) {
      case LayoutError::BadOrder: return RunMessages::BadFormat(QStringLiteral("Bank Order"));
      case LayoutError::BadPadValue: return RunMessages::BadFormat(QStringLiteral("Pad Value"));
      case LayoutError::None: break;
    }
    if (!NativeFile::IsReadableFolder(target_)) return RunMessages::TargetUnreadable(s.Target);
    // The same folder may be reached by another name: a link, letter case.
    const auto targetFolder = NativeFile::IdentityOf(target_, true);
    const bool oneFolder = !options_.listedPaths && targetFolder &&
                           targetFolder == NativeFile::IdentityOf(source_, true);
    if (oneFolder && s.TargetExt == s.SourceExt) return RunMessages::SameFolders();
    TargetFolder::Refusal refusal = TargetFolder::Refusal::None;
    folder_ = TargetFolder::Begin(target_, !options_.dryRun, &refusal);
    switch (refusal) {
      case TargetFolder::Refusal::None: return std::nullopt;
      case TargetFolder::Refusal::CannotOpen: return RunMessages::TargetUnreadable(s.Target);
      case TargetFolder::Refusal::CannotWrite: return RunMessages::TargetUnwritable(s.Target);
      case TargetFolder::Refusal::Busy: return RunMessages::TargetBusy(s.Target);
    }
    return std::nullopt;
  }

  // Each group of final reports is counted and told, in list order.
  void settle(const std::vector<FileReport>& group) {
    for (const FileReport& report : group) {
      if (report.outcome == FileOutcome::Converted) ++totals_.converted;
      if (report.outcome == FileOutcome::Skipped) ++totals_.skipped;
      frontEnd_.FileDone(report);
    }
    frontEnd_.CountsChanged(totals_);
  }

  void convert(int index, TargetQueue& queue) {
    const QString& name = files_[index];
    const QString sourcePath = options_.listedPaths ? name : source_ + name;
    frontEnd_.ShowProgress(index, static_cast<int>(files_.size()), sourcePath);
    frontEnd_.EventPoint();

    FileReport report;
    report.name = name;
    auto skip = [&](const QString& reason) {
      report.reason = reason;
      queue.AddFinal(std::move(report));
    };
    // An image the recognition refuses: skipped, with the check that failed.
    auto refuse = [&](const ImageReading& reading) {
      report.refusal = reading.refusal;
      report.reason = ImageWords::RefusalText(reading);
      queue.AddFinal(std::move(report));
    };
    auto keep = [&]() {
      report.action = TargetAction::Keep;
      skip(QStringLiteral("the target exists and was kept"));
    };
    const QString fileName = options_.listedPaths ? QFileInfo(name).fileName() : name;
    QByteArray input;
    qint64 length = -1;
    QString why;
    // Only an image's length is worth reading: anything else is told by its length alone.
    if (!Lib_File::ReadWhole(sourcePath, [](qint64 n) { return !LengthClassName(n).isEmpty(); },
                             &input, &length, &why)) {
      return skip(why);
    }
    // A name of fewer than four characters leaves no base name for a target.
    if (fileName.size() < 4) return skip(QStringLiteral("the name leaves no target name"));
    report.targetName = fileName.left(fileName.size() - 4) + settings_.TargetExt;
    report.length = length;
    const ImageReading reading = readImage(name, report.length, input);
    takeFindings(report, input, reading);
    if (!reading.recognised()) return refuse(reading);

    // What stands at the target's name must be seen as it will be when the
    // files before this one are in place.
    if (queue.Holds(report.targetName)) queue.Commit();
    QString unknown;
    const NativeFile::Entry entry = folder_->EntryAt(report.targetName, &unknown);
    // Nothing is written at a name the run cannot tell the state of.
    if (entry == NativeFile::Entry::Unknown)
      return skip(QStringLiteral("the target's name cannot be looked up: ") + unknown);
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
      switch (settings_.Overwrite) {
        case AskToOverwrite:
          if (options_.dryRun) {
            report.action = TargetAction::Ask;
            break;
          }
          queue.Commit();  // nothing finished waits on the user's answer
          switch (frontEnd_.MsgBox(RunMessages::OverwriteQuestion(report.targetName))) {
            case Answer::Yes: break;
            case Answer::No: return keep();
            default:
              stopped_ = true;
              if (global_) CancelRequested = true;
              report.action = TargetAction::None;
              report.outcome = FileOutcome::Stopped;
              report.reason = QStringLiteral("stopped at the overwrite question");
              return queue.AddFinal(std::move(report));
          }
          break;
        case AlwaysOverwrite: break;
        default: return keep();  // never, and unknown codes
      }
    }
    if (options_.dryRun) {
      report.outcome = FileOutcome::Converted;
      return queue.AddFinal(std::move(report));
    }

    // The old target stays until the new image is complete and flushed.
    if (!folder_->Write(Lib_File::OutputFile, report.targetName, &why)) return skip(why);
    TargetFolder::Placing placing;
    placing.file = Lib_File::TakeReplacement(Lib_File::OutputFile);
    // Assembled straight into the memory that goes to the disk where the
    // file has such memory, else written from the run's own buffer.
    const OutputPlan plan = PlanOutput(reading, layout_);
    char* room = placing.file->Reserve(plan.length);
    if (room == nullptr) image_.resize(plan.length);
    AssembleImage(plan, input, room ? room : image_.data());
    const bool wrote = room || placing.file->write(image_) == image_.size();
    // Its bytes start on their way to the disk, and the file is let go of
    // until its flush: a queue never holds many files open.
    if (!wrote || !placing.file->FinishWriting()) {
      return skip(QStringLiteral("the target could not be written: ") + placing.file->Reason());
    }
    // Only what the user saw and allowed is replaced: a file that appears
    // at a free name meanwhile is kept.
    placing.replace = report.action == TargetAction::Replace;
    report.outcome = FileOutcome::Converted;
    queue.AddPending(std::move(report), std::move(placing));
  }

  // How the image is read: by its length alone when no layout has it, by
  // its bytes (and any layout stated for it) otherwise.
  ImageReading readImage(const QString& name, qint64 length, const QByteArray& input) const {
    if (LengthClassName(length).isEmpty()) return UnreadImage(length, Refusal::UnknownLength);
    if (input.size() != length) return UnreadImage(length, Refusal::UnreadableSlot);
    return ConvertFile(input, options_.stated.For(name, length));
  }

  // What the recognition found in the image, as much as the front end asked
  // for.
  void takeFindings(FileReport& report, const QByteArray& input,
                    const ImageReading& reading) const {
    if (options_.findings == Findings::None) return;
    FindingsOptions asked;
    asked.layout = layout_;
    asked.crc32 = options_.findings == Findings::Full;
    report.findings = std::make_shared<const ImageFindings>(TakeFindings(input, reading, asked));
  }

  // Whether the target of this name is one of the run's sources: the same
  // folder entry, or the file a source leads to through a link. A target
  // must never take the place of a source. The sources are looked up the
  // first time a target exists.
  bool isSource(const QString& targetName) {
    if (!sourcesKnown_) {
      sourcesKnown_ = true;
      for (const QString& name : files_) {
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
  const ConversionSettingsRecord settings_;
  const QStringList files_;
  const QList<NativeFile::FolderEntry> passedOver_;
  const bool global_;  // the run over FileList, keeping the process's run state
  const QString source_;
  const QString target_;
  std::unique_ptr<TargetFolder> folder_;
  TargetQueue* queue_ = nullptr;  // while files are taken up
  OutputLayout layout_;
  QByteArray image_;  // the output image, its memory reused from file to file
  std::set<NativeFile::Identity> sources_;
  bool sourcesKnown_ = false;
  bool stopped_ = false;  // Cancel at the overwrite question
  RunTotals totals_;
};

BatchRun::BatchRun(RunFrontEnd& frontEnd, const RunOptions& options)
    : run_(std::make_unique<Run>(
          frontEnd, options, ConversionSettings, FileList,
          options.listedPaths ? QList<NativeFile::FolderEntry>() : FilesPassedOver, true)) {}

BatchRun::BatchRun(RunFrontEnd& frontEnd, const RunOptions& options,
                   const ConversionSettingsRecord& settings, const QStringList& files,
                   const QList<NativeFile::FolderEntry>& passedOver)
    : run_(std::make_unique<Run>(frontEnd, options, settings, files, passedOver, false)) {}

BatchRun::~BatchRun() = default;

RunTotals BatchRun::Go() {
  return run_->Go();
}

void BatchRun::PlaceWrittenTargets() {
  run_->PlaceWrittenTargets();
}

RunTotals RunBatch(RunFrontEnd& frontEnd, const RunOptions& options) {
  return BatchRun(frontEnd, options).Go();
}

QString FolderWithSeparator(const QString& folder) {
  if (folder.isEmpty() || isSeparator(folder.back())) return folder;
  return folder + QDir::separator();
}

namespace {

// The names of the folder's files that match the extension, in the list's
// order, through list; or the message that refuses a run over them.
std::optional<Message> listInto(FileListBox& list, const QString& folder, const QString& sourceExt,
                                QStringList* names, QList<NativeFile::FolderEntry>* passedOver) {
  if (auto refusal = extensionError(QStringLiteral("Source"), sourceExt)) return refusal;
  const QString pattern = u'*' + sourceExt;
  if (!list.setPath(folder)) return RunMessages::SourceUnreadable(folder);
  list.setPattern(pattern);
  const int count = list.ListCount();
  if (count == 0) return RunMessages::NoFilesFound(pattern);
  if (count > MaxRunFiles) return RunMessages::TooManyFiles(count, pattern);
  names->clear();
  names->reserve(count);
  for (int i = 0; i < count; ++i) {
    list.setListIndex(i);
    names->append(list.FileName());
  }
  *passedOver = list.PassedOver();
  return std::nullopt;
}

}  // namespace

std::optional<Message> ListSourceFolder(const QString& folder, const QString& sourceExt,
                                        QStringList* names,
                                        QList<NativeFile::FolderEntry>* passedOver) {
  FileListBox list;
  return listInto(list, folder, sourceExt, names, passedOver);
}

std::optional<Message> ListSourceFiles(FileListBox& list, const QString& folder,
                                       const QString& sourceExt) {
  QStringList names;
  QList<NativeFile::FolderEntry> passedOver;
  if (auto refusal = listInto(list, folder, sourceExt, &names, &passedOver)) return refusal;
  FileList = std::move(names);
  FileCount = static_cast<qint16>(FileList.size());
  FileIndex = FileCount;
  FilesPassedOver = std::move(passedOver);
  return std::nullopt;
}

std::optional<Message> ListSourcePaths(const QStringList& paths) {
  if (paths.isEmpty()) return RunMessages::NoFilesGiven();
  if (paths.size() > MaxRunFiles) return RunMessages::TooManyFilesGiven(paths.size());
  FileList = paths;
  FileCount = static_cast<qint16>(paths.size());
  FileIndex = 0;
  FilesPassedOver.clear();
  return std::nullopt;
}
