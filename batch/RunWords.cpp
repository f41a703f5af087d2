#include "batch/RunWords.h"

namespace RunWords {

QString Outcome(const FileReport& report) {
  switch (report.outcome) {
    case FileOutcome::Converted: return QStringLiteral("converted");
    case FileOutcome::Stopped: return QStringLiteral("stopped");
    case FileOutcome::Skipped: break;
  }
  return report.refusal == Refusal::None ? QStringLiteral("skipped") : QStringLiteral("refused");
}

QString Action(TargetAction action) {
  switch (action) {
    case TargetAction::Create: return QStringLiteral("create");
    case TargetAction::Replace: return QStringLiteral("replace");
    case TargetAction::Keep: return QStringLiteral("keep");
    case TargetAction::Ask: return QStringLiteral("ask");
    case TargetAction::None: break;
  }
  return {};
}

namespace {

// Why a file was not converted, as the run's own line says it.
QString notConverted(const FileReport& report) {
  if (report.outcome == FileOutcome::Stopped) return report.reason;
  return Outcome(report) + QStringLiteral(", ") + report.reason;
}

}  // namespace

QString Prediction(const FileReport& report) {
  if (report.outcome == FileOutcome::Converted) {
    switch (report.action) {
      case TargetAction::Replace: return QStringLiteral("would replace ") + report.targetName;
      case TargetAction::Ask:
        return QStringLiteral("would ask whether to replace ") + report.targetName;
      default: return QStringLiteral("would be written as ") + report.targetName;
    }
  }
  if (report.action == TargetAction::Keep) {
    return QStringLiteral("would keep the existing ") + report.targetName;
  }
  return notConverted(report);
}

QString Result(const FileReport& report) {
  if (report.outcome == FileOutcome::Converted) {
    return (report.action == TargetAction::Replace ? QStringLiteral("replaced ")
                                                   : QStringLiteral("converted into ")) +
           report.targetName;
  }
  return notConverted(report);
}

QString NotReached() {
  return QStringLiteral("not reached, the run was stopped before it");
}

QString PassedOver(const QString& reason) {
  return QStringLiteral("passed over, ") + reason;
}

QString End(RunEnd end) {
  switch (end) {
    case RunEnd::Refused: return QStringLiteral("refused");
    case RunEnd::Stopped: return QStringLiteral("stopped");
    case RunEnd::Completed: break;
  }
  return QStringLiteral("completed");
}

}  // namespace RunWords
