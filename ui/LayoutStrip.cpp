#include "ui/LayoutStrip.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "batch/ImageList.h"
#include "batch/ImageWords.h"
#include "engine/ImageFindings.h"

namespace {

using ImageWords::HexOffset;

// The findings of a row whose slots were read, told apart or not.
const ImageFindings* findingsAt(const QModelIndex& index) {
  const auto row = index.data(ImageListModel::RowRole).value<ImageListRow>();
  const ImageFindings* findings = row.findings();
  return findings && findings->error.isEmpty() && !findings->reading.slots.isEmpty() ? findings
                                                                                     : nullptr;
}

// One band of the strip: `length` bytes drawn across `band`.
struct Band {
  QRectF rect;
  qint64 length;

  QRectF span(qint64 from, qint64 bytes) const {
    const double scale = length > 0 ? rect.width() / double(length) : 0;
    return {rect.left() + double(from) * scale, rect.top(), double(bytes) * scale, rect.height()};
  }
};

void block(QPainter* p, const QRectF& r, const QBrush& fill, const QPalette& palette,
           const QString& label) {
  p->fillRect(r, fill);
  p->setPen(palette.color(QPalette::Mid));
  p->drawRect(r);
  if (!label.isEmpty() && p->fontMetrics().horizontalAdvance(label) + 2 < r.width()) {
    p->setPen(palette.color(QPalette::Text));
    p->drawText(r, Qt::AlignCenter, label);
  }
}

}  // namespace

void PaintLayoutStrip(QPainter* painter, const QRectF& area, const QPalette& palette,
                      const ImageReading& reading, const QList<DroppedRange>* dropped,
                      const std::optional<OutputLayout>& layout) {
  painter->save();
  const QBrush bankBrush = palette.color(QPalette::Base).darker(115);
  const QBrush fillBrush(palette.color(QPalette::Mid), Qt::BDiagPattern);
  QColor marked = palette.color(QPalette::Highlight);
  marked.setAlpha(110);

  const OutputPlan plan =
      layout && reading.recognised() ? PlanOutput(reading, *layout) : OutputPlan{};
  // Both bands are drawn to the scale of the longer, so that a longer
  // output than its image stays within the strip as a shorter one does.
  const double half = (area.height() - 2) / 2;
  const qint64 scaleLength = std::max(reading.length, plan.length);
  const auto band = [&](double top, qint64 length) {
    const double width = scaleLength > 0 ? area.width() * double(length) / double(scaleLength) : 0;
    return Band{{area.left(), top, width, half}, length};
  };

  // The file: fill where no slot's bank lies (the padding of a 256K image),
  // the slots with what they read as (a slot that is nothing but fill
  // hatched), and over them what the layout leaves out that is not fill.
  const Band input = band(area.top(), reading.length);
  block(painter, input.rect, fillBrush, palette, {});
  for (const SlotReading& s : reading.slots) {
    block(painter, input.span(s.offset, s.length), s.fillOnly ? fillBrush : bankBrush, palette,
          QString::number(s.bank));
  }
  if (dropped) {
    for (const DroppedRange& r : *dropped) {
      if (r.notFill > 0) painter->fillRect(input.span(r.offset, r.length), marked);
    }
  }

  if (plan.length > 0 || !plan.pieces.isEmpty()) {
    const Band output = band(area.top() + half + 2, plan.length);
    block(painter, output.rect, fillBrush, palette, {});
    // A bank written more than once is marked at every place it takes.
    for (const OutputPiece& p : plan.pieces) {
      const QRectF r = output.span(p.outputOffset, p.length);
      block(painter, r, bankBrush, palette, QString::number(p.bank));
      if (plan.repeated.contains(p.bank)) painter->fillRect(r, marked);
    }
    // A bank the output leaves out is named after its end.
    if (!plan.missing.isEmpty()) {
      QStringList numbers;
      for (int bank : plan.missing) numbers.append(QString::number(bank));
      const QString text = QStringLiteral("no ") + numbers.join(u',');
      const QRectF rest(output.rect.right() + 4, output.rect.top(),
                        area.right() - output.rect.right() - 4, half);
      if (painter->fontMetrics().horizontalAdvance(text) < rest.width()) {
        painter->setPen(palette.color(QPalette::Text));
        painter->drawText(rest, Qt::AlignLeft | Qt::AlignVCenter, text);
      }
    }
  }
  painter->restore();
}

void ImageListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const ImageFindings* f = index.column() == ImageListModel::Layout ? findingsAt(index) : nullptr;
  if (f == nullptr) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem plain = option;
  initStyleOption(&plain, index);
  plain.text.clear();
  option.widget->style()->drawControl(QStyle::CE_ItemViewItem, &plain, painter, option.widget);
  PaintLayoutStrip(painter, QRectF(option.rect).adjusted(2, 2, -2, -2), option.palette, f->reading,
                   f->dropped ? &*f->dropped : nullptr, layout_);
}

QSize ImageListDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  if (index.column() != ImageListModel::Layout) return QStyledItemDelegate::sizeHint(option, index);
  const QFontMetrics& fm = option.fontMetrics;
  return {StripWidth(fm), fm.height() * 2 + 6};
}

int ImageListDelegate::StripWidth(const QFontMetrics& metrics) {
  return metrics.horizontalAdvance(QLatin1Char('0')) * 27;
}

QString ImageListDelegate::StripText(const ImageFindings& f) const {
  QStringList lines;
  for (const SlotReading& s : f.reading.slots) {
    lines.append(QStringLiteral("slot %1: bank %2 at %3, %4 bytes")
                     .arg(s.slot)
                     .arg(s.bank)
                     .arg(HexOffset(s.offset))
                     .arg(s.length));
  }
  if (layout_ && f.reading.recognised()) {
    const OutputPlan plan = PlanOutput(f.reading, *layout_);
    for (const OutputPiece& p : plan.pieces) {
      lines.append(QStringLiteral("output at %1: bank %2, %3 bytes from %4")
                       .arg(HexOffset(p.outputOffset))
                       .arg(p.bank)
                       .arg(p.length)
                       .arg(HexOffset(p.inputOffset)));
    }
    if (const QString marks = ImageWords::OutputText(plan.repeated, plan.missing); !marks.isEmpty())
      lines.append(marks);
  }
  if (const QString dropped = ImageWords::DroppedSummary(f); !dropped.isEmpty()) {
    lines.append(QStringLiteral("left out: ") + dropped);
  }
  return lines.join(u'\n');
}

bool ImageListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event->type() != QEvent::ToolTip) {
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }
  QString tip;
  if (index.column() == ImageListModel::Layout) {
    if (const ImageFindings* f = findingsAt(index)) tip = StripText(*f);
  } else {
    // Only a text the cell cuts off needs telling again.
    const QString text = index.data(Qt::DisplayRole).toString();
    const int room =
        option.rect.width() - 2 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) - 4;
    if (option.fontMetrics.horizontalAdvance(text) > room) tip = text;
  }
  if (tip.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(event->globalPos(), tip, view);
  }
  return true;
}
