#include "cli/TerminalFrontEnd.h"

#include <QJsonDocument>

#include "batch/ImageWords.h"
#include "batch/RunWords.h"
#include "cli/ExitCode.h"
#include "cli/Terminal.h"
#include "engine/ImageFindings.h"
#include "settings/modGlobals.h"

using Toolkit::Answer;
using Toolkit::Buttons;
using Toolkit::CRLF;

namespace {

// A message's lines as a terminal shows them.
QString lines(const QString& prompt) {
  return QString(prompt).replace(CRLF, QStringLiteral("\n"));
}

// The summary as one line: each line of the message, trimmed, after the other.
QString oneLine(const QString& prompt) {
  QStringList parts;
  for (const QString& part : prompt.split(CRLF)) {
    if (!part.trimmed().isEmpty()) parts.append(part.trimmed());
  }
  return parts.join(u' ');
}

void writeJson(const QJsonObject& object) {
  Terminal::Write(stdout,
                  QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + u'\n');
}

QJsonValue orNull(const QString& text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// A dry run's line for a file: what a real run would do with it.
QString prediction(const FileReport& report) {
  QString line = report.name + QStringLiteral(": ");
  if (const QString lengthClass = LengthClassName(report.length); !lengthClass.isEmpty()) {
    line += lengthClass + QStringLiteral(", ");
  }
  return line + RunWords::Prediction(report);
}

// The exit code of a run refused before its first file. A refused extension
// is a bad value given, like a bad option value.
int refusalCode(const Toolkit::Message& refusal) {
  return refusal.title == u"Extension Error" ? ExitUsage : ExitRefused;
}

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(Mode mode) : mode_(mode) {}

Answer TerminalFrontEnd::MsgBox(const Toolkit::Message& message) {
  progress_.Clear();
  if (message.buttons != Buttons::OK) return ask(message);
  notices_.append(message);
  return Answer::OK;
}

Answer TerminalFrontEnd::ask(const Toolkit::Message& message) {
  const bool withCancel = message.buttons == Buttons::YesNoCancel;
  // Nothing more to read (the input ended, or Ctrl+C): stop, or decline.
  const Answer unanswered = withCancel ? Answer::Cancel : Answer::No;
  for (;;) {
    Terminal::Write(stderr, lines(message.prompt) + (withCancel ? QStringLiteral(" [y/n/c] ")
                                                                : QStringLiteral(" [y/n] ")));
    QString reply;
    if (!Terminal::ReadLine(&reply)) {
      Terminal::Write(stderr, QStringLiteral("\n"));
      return unanswered;
    }
    reply = reply.toLower();
    if (reply == u"y" || reply == u"yes") return Answer::Yes;
    if (reply == u"n" || reply == u"no") return Answer::No;
    if (withCancel && (reply == u"c" || reply == u"cancel")) return Answer::Cancel;
  }
}

void TerminalFrontEnd::ShowProgress(int fileIndex, int fileCount, const QString& sourcePath) {
  progress_.Show(fileIndex, fileCount, sourcePath);
}

void TerminalFrontEnd::EventPoint() {
  // Ctrl+C stops the run after this file, as a confirmed stop in the window.
  if (Terminal::InterruptRequested()) CancelRequested = true;
}

void TerminalFrontEnd::FileDone(const FileReport& report) {
  if (report.refusal != Refusal::None) ++refused_;
  // A target kept by the user's own choice is no failure.
  if (report.outcome == FileOutcome::Skipped && report.action != TargetAction::Keep) ++failed_;
  if (mode_.json) {
    writeJson({{QStringLiteral("type"), QStringLiteral("file")},
               {QStringLiteral("name"), report.name},
               {QStringLiteral("class"), orNull(LengthClassName(report.length))},
               {QStringLiteral("outcome"), RunWords::Outcome(report)},
               {QStringLiteral("reason"), orNull(report.reason)},
               {QStringLiteral("target"), orNull(report.targetName)},
               {QStringLiteral("action"), orNull(RunWords::Action(report.action))}});
  } else if (mode_.dryRun) {
    progress_.Clear();
    Terminal::Write(stdout, prediction(report) + u'\n');
  } else if (report.outcome != FileOutcome::Converted && !mode_.quiet) {
    progress_.Clear();
    Terminal::Write(stderr, report.name + QStringLiteral(": ") + RunWords::Result(report) + u'\n');
  }
  // Bytes that are not fill and that the written target leaves out: told
  // once per file, beside the outcome, which stays as it is.
  if (report.findings && report.outcome == FileOutcome::Converted && !mode_.quiet) {
    const QString notice = ImageWords::DroppedNotice(report.name, *report.findings);
    if (!notice.isEmpty()) {
      progress_.Clear();
      Terminal::Write(stderr, notice + u'\n');
    }
  }
}

void TerminalFrontEnd::PassedOver(const NativeFile::FolderEntry& entry) {
  ++passedOver_;
  if (mode_.json) {
    writeJson({{QStringLiteral("type"), QStringLiteral("passed-over")},
               {QStringLiteral("name"), entry.name},
               {QStringLiteral("reason"), entry.passedOver}});
    return;
  }
  const QString line = entry.name + QStringLiteral(": ") + RunWords::PassedOver(entry.passedOver);
  if (mode_.dryRun) {
    progress_.Clear();
    Terminal::Write(stdout, line + u'\n');
  } else if (!mode_.quiet) {
    progress_.Clear();
    Terminal::Write(stderr, line + u'\n');
  }
}

QJsonObject TerminalFrontEnd::summary(const RunTotals& totals) const {
  return {{QStringLiteral("type"), QStringLiteral("summary")},
          {QStringLiteral("end"), RunWords::End(totals.end)},
          {QStringLiteral("dryRun"), mode_.dryRun},
          {QStringLiteral("total"), totals.total},
          {QStringLiteral("converted"), totals.converted},
          {QStringLiteral("skipped"), totals.skipped},
          {QStringLiteral("refused"), refused_},
          {QStringLiteral("passedOver"), passedOver_},
          {QStringLiteral("message"),
           notices_.isEmpty() ? QString() : oneLine(notices_.constLast().prompt)}};
}

int TerminalFrontEnd::Finish(const RunTotals& totals) {
  progress_.Clear();
  if (totals.end == RunEnd::Refused) {
    for (const Toolkit::Message& notice : notices_) {
      Terminal::Write(stderr, notice.title + QStringLiteral(": ") + lines(notice.prompt) + u'\n');
    }
    if (mode_.json) writeJson(summary(totals));
    return notices_.isEmpty() ? ExitRefused : refusalCode(notices_.constLast());
  }
  if (mode_.json) {
    writeJson(summary(totals));
  } else {
    for (const Toolkit::Message& notice : notices_) {
      Terminal::Write(stdout, oneLine(notice.prompt) + u'\n');
    }
  }
  if (totals.end == RunEnd::Stopped) return ExitStopped;
  return failed_ == 0 ? ExitDone : ExitSomeFailed;
}

int TerminalFrontEnd::Refuse(const Toolkit::Message& message) {
  notices_ = {message};
  return Finish(RunTotals{});
}
