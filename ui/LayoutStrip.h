#pragma once

#include <QStyledItemDelegate>
#include <optional>

#include "engine/ImageAssembly.h"

#include "engine/ImageFindings.h"

// Draws an image's strip in area: its slots to scale above, the output the
// layout makes of it below (none without a layout or for an image not read).
void PaintLayoutStrip(QPainter* painter, const QRectF& area, const QPalette& palette,
                      const ImageReading& reading, const QList<DroppedRange>* dropped,
                      const std::optional<OutputLayout>& layout);

// Draws the cells of the image list. The layout column is a strip per
// image, the way a partition editor shows a disk: above, the file's slots
// to scale, each with the bank it holds, the padding beside it hatched and
// the bytes the layout leaves out that are not fill marked; below, the
// output the current options make from it, bank by bank, with its fill.
// Other cells are drawn as usual, with a tool tip only where their text is
// cut off.
class ImageListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  // How wide a strip is drawn.
  static int StripWidth(const QFontMetrics& metrics);

  // The layout the output strips show; none while the options give none.
  void SetLayout(const std::optional<OutputLayout>& layout) { layout_ = layout; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // What the strip shows, in words: the slots and the output pieces with
  // their offsets.
  QString StripText(const ImageFindings& findings) const;

 private:
  std::optional<OutputLayout> layout_;
};
