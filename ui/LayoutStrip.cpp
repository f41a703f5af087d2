#include "ui/LayoutStrip.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "batch/ImageList.h"
#include "engine/BankTables.h"
#include "engine/ImageFindings.h"

namespace {

const ImageFindings* findingsAt(const QModelIndex& index) {
  const auto row = index.data(ImageListModel::RowRole).value<ImageListRow>();
  const ImageFindings* findings = row.findings();
  return findings && findings->recognised ? findings : nullptr;
}

qint64 slotLength(PadSizeCode size) {
  return size == PadSizeCode::Pad64K ? Size64K : Size56K;
}

// How long the output of the layout is: padded layouts give every bank of
// the order its full place.
qint64 outputLength(const QList<OutputPiece>& pieces, const OutputLayout& layout) {
  if (!layout.bank1Only && layout.padSize != PadSizeCode::NoPadding) {
    return qint64(layout.order.size()) * slotLength(layout.padSize);
  }
  qint64 end = 0;
  for (const OutputPiece& p : pieces) end = std::max(end, p.outputOffset + p.length);
  return end;
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

  painter->save();
  const QPalette& palette = option.palette;
  const QRectF area = QRectF(option.rect).adjusted(2, 2, -2, -2);
  const double half = (area.height() - 2) / 2;
  // Both bands are drawn to one scale, that of the longer of the file and
  // the output, so that neither runs past the cell and a shorter one shows
  // as a shorter band.
  std::optional<QList<OutputPiece>> pieces;
  qint64 outLength = 0;
  if (layout_) {
    pieces = TraceOutput(*f, *layout_);
    outLength = outputLength(*pieces, *layout_);
  }
  const double perByte = area.width() / double(std::max({f->length, outLength, qint64(1)}));
  const Band input{{area.left(), area.top(), double(f->length) * perByte, half}, f->length};
  const QBrush bankBrush = palette.color(QPalette::Base).darker(115);
  const QBrush fillBrush(palette.color(QPalette::Mid), Qt::BDiagPattern);

  // The file: fill where no slot's bank lies (the padding of a 256K image),
  // the banks, and over them what the layout leaves out that is not fill.
  block(painter, input.rect, fillBrush, palette, {});
  for (const SlotFinding& s : f->slots) {
    block(painter, input.span(s.offset, s.length), bankBrush, palette, QString::number(s.bank));
  }
  if (f->dropped) {
    QColor lost = palette.color(QPalette::Highlight);
    lost.setAlpha(110);
    for (const DroppedRange& r : *f->dropped)
      painter->fillRect(input.span(r.offset, r.length), lost);
  }

  if (pieces) {
    const Band output{{area.left(), area.top() + half + 2, double(outLength) * perByte, half},
                      outLength};
    block(painter, output.rect, fillBrush, palette, {});
    for (const OutputPiece& p : *pieces) {
      block(painter, output.span(p.outputOffset, p.length), bankBrush, palette,
            QString::number(p.bank));
    }
  }
  painter->restore();
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
  for (const SlotFinding& s : f.slots) {
    lines.append(QStringLiteral("slot %1: bank %2 at %3, %4 bytes")
                     .arg(s.slot)
                     .arg(s.bank)
                     .arg(HexOffset(s.offset))
                     .arg(s.length));
  }
  if (layout_) {
    for (const OutputPiece& p : TraceOutput(f, *layout_)) {
      lines.append(QStringLiteral("output at %1: bank %2, %3 bytes from %4")
                       .arg(HexOffset(p.outputOffset))
                       .arg(p.bank)
                       .arg(p.length)
                       .arg(HexOffset(p.inputOffset)));
    }
  }
  if (const QString dropped = DroppedSummary(f); !dropped.isEmpty()) {
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
