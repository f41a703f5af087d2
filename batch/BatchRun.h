#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "batch/Messages.h"
#include "batch/RunReport.h"
#include "batch/StatedLayouts.h"
#include "engine/NativeFile.h"

class FileListBox;
struct ConversionSettingsRecord;

// The batch run that both front ends share: the program's windows and the
// command line. It converts every name of FileList from the source folder
// into the target folder with the settings of ConversionSettings, and talks
// to the user only through its front end.

class RunFrontEnd {
 public:
  virtual ~RunFrontEnd() = default;
  // Every message of a run goes through here: a refusal before the first
  // file, the overwrite question and the summary.
  virtual Toolkit::Answer MsgBox(const Toolkit::Message& message) = 0;
  // Before each file is taken up: its 0-based index and its source path.
  virtual void ShowProgress(int fileIndex, int fileCount, const QString& sourcePath) = 0;
  // The one point of each file at which the user may ask for a stop.
  virtual void EventPoint() = 0;
  // Whether a stop was asked for; the run looks after each file.
  virtual bool StopRequested() const;
  // Each file's outcome, once final. Files are reported in list order.
  virtual void FileDone(const FileReport& report) { Q_UNUSED(report); }
  // The counts changed (files are counted once their outcome is final): once
  // after each group of files reported.
  virtual void CountsChanged(const RunTotals& totals) { Q_UNUSED(totals); }
  // After the last file: an entry of the source folder whose name matches
  // the extension but that the run does not take, with why. Never counted.
  virtual void PassedOver(const NativeFile::FolderEntry& entry) { Q_UNUSED(entry); }
};

// The entries of the source folder the last listing passed over, beside
// FileList: matching names that are no regular files, hidden files.
inline QList<NativeFile::FolderEntry> FilesPassedOver;

// Lists the files of the source folder that a run takes: ordinary files
// (after following a link) whose names end in the extension, letters
// compared without regard to case, sorted by name. Fills FileList,
// FileCount and FilesPassedOver and returns nothing; or returns the message
// that refuses the run (a source folder that cannot be read, no matching
// files, too many).
std::optional<Toolkit::Message> ListSourceFiles(FileListBox& list, const QString& folder,
                                                const QString& sourceExt);

// The same listing into *names and *passedOver, touching no run state of
// the process.
std::optional<Toolkit::Message> ListSourceFolder(const QString& folder, const QString& sourceExt,
                                                 QStringList* names,
                                                 QList<NativeFile::FolderEntry>* passedOver);

// Fills FileList and FileCount with the paths of the given files, in the
// order given, for a run over just those files; or returns the message that
// refuses the run (no files, too many). Files that are not there or not
// regular files stay in the list: the run reports each as skipped.
std::optional<Toolkit::Message> ListSourcePaths(const QStringList& paths);

// What a run tells of each image beyond its outcome, in FileReport::findings.
enum class Findings {
  None,
  Dropped,  // the bytes the layout leaves out that are not fill
  Full,     // all: slots, banks and their CRC-32s, and the bytes left out
};

struct RunOptions {
  // Recognise every file and look at its target as a real run would, and
  // report what would happen, but write nothing and ask nothing.
  bool dryRun = false;
  // FileList holds paths of files (from ListSourcePaths), not names in the
  // source folder.
  bool listedPaths = false;
  Findings findings = Findings::None;
  // How to read the images whose marks cannot tell their banks apart.
  StatedLayouts stated{};
};

// One run: checks what must hold before any file is read, then converts file
// by file, puts the written targets in place in groups, and shows the
// summary.
class BatchRun {
 public:
  // The run over FileList with ConversionSettings, as the windows and the
  // command line start it; it keeps FileIndex and sets CancelRequested at a
  // Cancel in the overwrite question.
  explicit BatchRun(RunFrontEnd& frontEnd, const RunOptions& options = {});
  // A run over the given files with the given settings, touching no run state
  // of the process: a dry run may run on a thread of its own beside the
  // windows. It stops when the front end asks.
  BatchRun(RunFrontEnd& frontEnd, const RunOptions& options,
           const ConversionSettingsRecord& settings, const QStringList& files,
           const QList<NativeFile::FolderEntry>& passedOver = {});
  ~BatchRun();
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;

  RunTotals Go();

  // Puts every target the run has written at its name now, before the user
  // is asked anything: an answer may take hours, and a file the run has
  // finished must not wait on it. Does nothing outside Go().
  void PlaceWrittenTargets();

 private:
  class Run;
  std::unique_ptr<Run> run_;
};

// BatchRun(frontEnd, options).Go().
RunTotals RunBatch(RunFrontEnd& frontEnd, const RunOptions& options = {});

// The folder as the run uses it: with a path separator at its end.
QString FolderWithSeparator(const QString& folder);
