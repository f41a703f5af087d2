#pragma once

#include <QString>

#include "batch/RunReport.h"

// What a run did, or would do, with a file, in the words both front ends
// show: the window's image list and the command line's lines and JSON.
namespace RunWords {

// "converted", "skipped", "refused" (an image the recognition refused) or
// "stopped".
QString Outcome(const FileReport& report);

// "create", "replace", "keep", "ask"; empty for none.
QString Action(TargetAction action);

// A dry run's words for a file, without its name: "would be written as
// b.BIN", "would replace b.BIN", "would keep the existing b.BIN", "would ask
// whether to replace b.BIN", or why it would not be converted ("refused, no
// image layout has this length").
QString Prediction(const FileReport& report);

// What became of a file after a run, without its name: "converted into
// b.BIN", "replaced b.BIN", "skipped, the target exists and was kept",
// "refused, ...", "stopped at the overwrite question".
QString Result(const FileReport& report);

// What a file never taken up by a stopped run says.
QString NotReached();

// An entry the listing passed over: "passed over, it is a pipe".
QString PassedOver(const QString& reason);

// "completed", "stopped", "refused".
QString End(RunEnd end);

}  // namespace RunWords
