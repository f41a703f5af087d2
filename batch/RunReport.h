#pragma once

#include <QString>
#include <memory>

#include "engine/Refusal.h"

struct ImageFindings;

// What a run did with each file, as both front ends tell it.

// The most files one run can take.
inline constexpr int MaxRunFiles = 32767;

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
  QString name;        // the source name, no folder (a path when the run was given paths)
  QString targetName;  // no folder; empty when the name leaves no target name
  qint64 length = -1;  // the image's length in bytes; -1 when it could not be read
  FileOutcome outcome = FileOutcome::Skipped;
  QString reason;  // why a file was skipped or the run stopped there; empty when converted
  // The check of the recognition that refused the image (its length
  // included); None for an image that was recognised or never read.
  Refusal refusal = Refusal::None;
  TargetAction action = TargetAction::None;
  // What the image holds and what the layout leaves out of it, when the run
  // was asked to look (RunOptions::findings); null otherwise.
  std::shared_ptr<const ImageFindings> findings;
};

enum class RunEnd { Refused, Completed, Stopped };

struct RunTotals {
  RunEnd end = RunEnd::Refused;
  int total = 0;  // files taken up, including the one during which a stop took effect
  qint16 converted = 0;
  qint16 skipped = 0;
};
