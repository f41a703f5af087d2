#include "cli/ProgressLine.h"

#include <QFileInfo>

#include "cli/Terminal.h"
#include "engine/Lib_Convert.h"

namespace {

// A run shorter than this shows no progress at all.
constexpr qint64 QuietMs = 400;
// The line is redrawn at most this often, so that the terminal never slows
// down a run of small files.
constexpr qint64 RedrawMs = 100;
// Fits the narrowest usual terminal without wrapping.
constexpr qsizetype MaxWidth = 79;

}  // namespace

ProgressLine::ProgressLine(bool wanted) : enabled_(wanted && Terminal::IsTerminal(stderr)) {
  sinceStart_.start();
}

void ProgressLine::Show(int done, int total, const QString& path) {
  if (!enabled_ || sinceStart_.elapsed() < QuietMs) return;
  if (shownWidth_ > 0 && sinceShown_.elapsed() < RedrawMs) return;
  const QString name = Lib_Convert::ShownText(QFileInfo(path).fileName());
  QString line = QStringLiteral("%1/%2  ").arg(done).arg(total);
  const qsizetype room = MaxWidth - line.size();
  line += name.size() <= room ? name : QStringLiteral("...") + name.right(room - 3);
  const qsizetype width = line.size();
  // Blanks over what is left of a longer earlier line.
  if (width < shownWidth_) line += QString(shownWidth_ - width, u' ');
  Terminal::Write(stderr, u'\r' + line);
  shownWidth_ = width;
  sinceShown_.start();
}

void ProgressLine::Clear() {
  if (shownWidth_ == 0) return;
  Terminal::Write(stderr, u'\r' + QString(shownWidth_, u' ') + u'\r');
  shownWidth_ = 0;
}
