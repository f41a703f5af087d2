#pragma once

#include <QList>
#include <QTableView>
#include <QTimer>

// The image list's table. The Name column stays in view while the other
// columns scroll sideways under it. Each column has a natural width: the
// text columns their contents' (within a share of the screen), the strip
// its own; room the window gives beyond them is shared by every column in
// proportion, so that widening the window widens them all.
class ImageTable : public QTableView {
  Q_OBJECT

 public:
  explicit ImageTable(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;
  // The delegate draws the Name column too, where it stays in view.
  void SetDelegate(QAbstractItemDelegate* delegate);

  // Sizes the text columns to what they hold, unless the user has sized a
  // column. Where they would not all fit on the screen, the widest are cut
  // to one width, so that as much as can be is shown at once.
  void FitColumns();
  // The same within half a second, once for any number of calls: rows come
  // in groups while a look reads, and measuring them costs.
  void FitColumnsSoon();
  // The widths that show `contents` within `room`: every column cut to the
  // widest width at which they fit, but none below its floor. Where the
  // floors alone are wider than the room, the floors.
  static QList<int> FittedWidths(const QList<int>& contents, const QList<int>& floors, int room);
  // The columns' widths as they stand become their natural widths: the
  // user's, kept from an earlier opening.
  void TakeWidths();
  bool UserSized() const { return userSized_; }
  // The width the table needs to show every column at its natural width.
  int NaturalWidth() const;

  // The view that keeps the Name column in view.
  QTableView* NameColumn() const { return names_; }

  // Brings a cell into view beside the Name column, never under it.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void updateGeometries() override;
  void actionEvent(QActionEvent* event) override;

 private:
  void spread();
  int roomOnScreen() const;
  void placeNames();
  void sectionResized(int column, int newSize);

  QTableView* names_ = nullptr;
  QTimer fitSoon_;
  QList<int> natural_;
  bool spreading_ = false;
  bool userSized_ = false;
};
