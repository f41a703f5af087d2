#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "batch/Messages.h"
#include "engine/Refusal.h"

class FileListBox;

// The batch run that both front ends share: the program's windows and the
// command line. It converts every name of FileList from the source folder
// into the target folder with the settings of ConversionSettings, and talks
// to the user only through its front end.

enum class FileOutcome { Converted, Skipped, Stopped };

// What the run did at a file's target name, or in a dry run would do.
enum class TargetAction {
  None,     // the file never reached its target: refused, unreadable, stopped, or a fault
  Create,   // nothing stood at the name; the target is (would be) new
  Replace,  // an existing target is (would be) replaced
  Keep,     // an existing target is kept by the user's own choice ("never", or No)
  Ask,      // dry run only: the user would be asked whether to replace it
};

// What became of one file, once that is final (a written target counts only
// once it is safely in place).
struct FileReport {
  QString name;        // the source name, no folder
  QString targetName;  // no folder; empty when the name leaves no target name
  qint64 length = -1;  // the image's length in bytes; -1 when it could not be read
  FileOutcome outcome = FileOutcome::Skipped;
  QString reason;  // why a file was skipped or the run stopped there; empty when converted
  // The check of the recognition that refused the image (its length
  // included); None for an image that was recognised or never read.
  Refusal refusal = Refusal::None;
  TargetAction action = TargetAction::None;
};

enum class RunEnd { Refused, Completed, Stopped };

struct RunTotals {
  RunEnd end = RunEnd::Refused;
  int total = 0;  // files taken up, including the one during which a stop took effect
  qint16 converted = 0;
  qint16 skipped = 0;
};

class RunFrontEnd {
 public:
  virtual ~RunFrontEnd() = default;
  // Every message of a run goes through here: a refusal before the first
  // file, the overwrite question and the summary.
  virtual Toolkit::Answer MsgBox(const Toolkit::Message& message) = 0;
  // Before each file is taken up: its 0-based index and its source path.
  virtual void ShowProgress(int fileIndex, int fileCount, const QString& sourcePath) = 0;
  // The one point of each file at which the user may ask for a stop, by
  // setting CancelRequested.
  virtual void EventPoint() = 0;
  // Each file's outcome, once final. Files are reported in list order.
  virtual void FileDone(const FileReport& report) { Q_UNUSED(report); }
  // The counts changed (files are counted once their outcome is final).
  virtual void CountsChanged(const RunTotals& totals) { Q_UNUSED(totals); }
};

// The most files one run can take.
inline constexpr int MaxRunFiles = 32767;

// Lists the files of the source folder that a run takes: ordinary files
// (after following a link) whose names end in the extension, letters
// compared without regard to case, sorted by name. Fills FileList and
// FileCount and returns nothing; or returns the message that refuses the
// run (a source folder that cannot be read, no matching files, too many).
std::optional<Toolkit::Message> ListSourceFiles(FileListBox& list, const QString& folder,
                                                const QString& sourceExt);

// Fills FileList and FileCount with the paths of the given files, in the
// order given, for a run over just those files; or returns the message that
// refuses the run (no files, too many). Files that are not there or not
// regular files stay in the list: the run reports each as skipped.
std::optional<Toolkit::Message> ListSourcePaths(const QStringList& paths);

struct RunOptions {
  // Recognise every file and look at its target as a real run would, and
  // report what would happen, but write nothing and ask nothing.
  bool dryRun = false;
  // FileList holds paths of files (from ListSourcePaths), not names in the
  // source folder.
  bool listedPaths = false;
};

// Runs over FileList: checks what must hold before any file is read, then
// converts file by file, commits the written targets in batches, and shows
// the summary.
RunTotals RunBatch(RunFrontEnd& frontEnd, const RunOptions& options = {});

// Puts every target the run under way has written at its name now, before
// the user is asked anything: an answer may take hours, and a file the run
// has finished must not wait on it. Does nothing when no run is under way.
void PlaceWrittenTargets();

// The folder as the run uses it: with a path separator at its end.
QString FolderWithSeparator(const QString& folder);
