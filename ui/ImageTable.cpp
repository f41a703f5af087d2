#include "ui/ImageTable.h"

#include <QActionEvent>
#include <QHeaderView>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <numeric>

#include "batch/ImageList.h"
#include "ui/LayoutStrip.h"

ImageTable::ImageTable(QWidget* parent) : QTableView(parent) {
  names_ = new QTableView(this);
  names_->setObjectName(QStringLiteral("lvwNames"));
  names_->setAccessibleName(QStringLiteral("Names"));
  // The table itself takes the focus and the keys; this only shows names.
  names_->setFocusPolicy(Qt::NoFocus);
  names_->setFrameShape(QFrame::NoFrame);
  names_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  names_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  names_->verticalHeader()->hide();
  names_->setContextMenuPolicy(Qt::ActionsContextMenu);
  // Its heading sorts through the table's.
  names_->horizontalHeader()->setSectionsClickable(true);
  names_->horizontalHeader()->setSortIndicatorShown(true);
  names_->horizontalHeader()->setSortIndicatorClearable(true);
  names_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  viewport()->stackUnder(names_);

  horizontalHeader()->setSortIndicatorClearable(true);
  horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  horizontalHeader()->setStretchLastSection(false);
  verticalHeader()->hide();
  const int rowHeight = fontMetrics().height() * 2 + 8;
  for (QTableView* view : {static_cast<QTableView*>(this), names_}) {
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->setTextElideMode(Qt::ElideRight);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->verticalHeader()->setDefaultSectionSize(rowHeight);
  }
  setSortingEnabled(true);
  // Tab leaves the table for the next control; the arrow keys move within.
  setTabKeyNavigation(false);

  connect(verticalScrollBar(), &QScrollBar::valueChanged, names_->verticalScrollBar(),
          &QScrollBar::setValue);
  connect(names_->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
          &QScrollBar::setValue);
  // Either heading sorts, and both show how.
  connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, names_->horizontalHeader(),
          &QHeaderView::setSortIndicator);
  connect(names_->horizontalHeader(), &QHeaderView::sortIndicatorChanged, horizontalHeader(),
          &QHeaderView::setSortIndicator);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int newSize) { sectionResized(column, newSize); });
  connect(names_->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int column, int, int newSize) {
            if (column == ImageListModel::Name && newSize != columnWidth(column)) {
              setColumnWidth(column, newSize);
            }
          });
  // A click on a name selects its row in the table, which then has the keys.
  connect(names_, &QAbstractItemView::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });

  // A column is measured over the rows in view and this many around them.
  horizontalHeader()->setResizeContentsPrecision(200);
  fitSoon_.setSingleShot(true);
  fitSoon_.setInterval(500);
  connect(&fitSoon_, &QTimer::timeout, this, &ImageTable::FitColumns);

  // Until the list has rows to measure, room for what they commonly hold,
  // in digits of the font.
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  natural_ = {digit * 20, digit * 13, digit * 21,
              digit * 21, digit * 26, ImageListDelegate::StripWidth(fontMetrics())};
  Q_ASSERT(natural_.size() == ImageListModel::ColumnCount);
}

void ImageTable::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  names_->setModel(model);
  names_->setSelectionModel(selectionModel());
  for (int column = 0; column < ImageListModel::ColumnCount; ++column) {
    names_->setColumnHidden(column, column != ImageListModel::Name);
  }
  spread();
}

void ImageTable::SetDelegate(QAbstractItemDelegate* delegate) {
  setItemDelegate(delegate);
  names_->setItemDelegate(delegate);
}

void ImageTable::FitColumns() {
  fitSoon_.stop();
  if (userSized_ || !model()) return;
  const int room = roomOnScreen();
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  QList<int> contents(ImageListModel::ColumnCount), floors(ImageListModel::ColumnCount);
  for (int column = 0; column < ImageListModel::ColumnCount; ++column) {
    contents[column] =
        column == ImageListModel::Layout
            ? natural_[column]
            : std::max(horizontalHeader()->sectionSizeHint(column), sizeHintForColumn(column));
    // Sizes and strips are never cut, names only beyond a third of the
    // room; the other texts keep room for their first words, and tell the
    // rest in a tool tip.
    switch (column) {
      case ImageListModel::Size:
      case ImageListModel::Layout: floors[column] = contents[column]; break;
      case ImageListModel::Name: floors[column] = std::min(contents[column], room / 3); break;
      default: floors[column] = std::min(contents[column], digit * 20); break;
    }
  }
  natural_ = FittedWidths(contents, floors, room);
  spread();
}

void ImageTable::FitColumnsSoon() {
  if (!fitSoon_.isActive()) fitSoon_.start();
}

QList<int> ImageTable::FittedWidths(const QList<int>& contents, const QList<int>& floors,
                                    int room) {
  const auto cut = [&](int cap) {
    QList<int> widths(contents.size());
    for (int c = 0; c < contents.size(); ++c)
      widths[c] = std::max(std::min(contents[c], cap), floors[c]);
    return widths;
  };
  const auto sum = [](const QList<int>& widths) {
    return std::accumulate(widths.cbegin(), widths.cend(), 0);
  };
  // The widest cap at which the columns fit: narrower columns keep their
  // width, wider ones are cut to it.
  int low = 0, high = *std::max_element(contents.cbegin(), contents.cend());
  while (low < high) {
    const int cap = (low + high + 1) / 2;
    if (sum(cut(cap)) <= room) {
      low = cap;
    } else {
      high = cap - 1;
    }
  }
  return cut(low);
}

int ImageTable::roomOnScreen() const {
  const QScreen* shown = screen();
  if (!shown) return INT_MAX;
  // What stands between the screen's edges and the columns: the window's
  // frame and margins, the table's frame and its scroll bar.
  const QWidget* top = window();
  const int frame = top->frameGeometry().width() - top->width();
  const int margins = top->layout() ? top->layout()->contentsMargins().left() +
                                          top->layout()->contentsMargins().right()
                                    : 0;
  return shown->availableGeometry().width() - frame - margins - 2 * frameWidth() -
         verticalScrollBar()->sizeHint().width();
}

void ImageTable::TakeWidths() {
  for (int column = 0; column < ImageListModel::ColumnCount; ++column) {
    natural_[column] = columnWidth(column);
  }
  userSized_ = true;
  spread();
}

int ImageTable::NaturalWidth() const {
  return std::accumulate(natural_.cbegin(), natural_.cend(), 0) +
         verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

void ImageTable::spread() {
  if (!model()) return;
  const int total = std::accumulate(natural_.cbegin(), natural_.cend(), 0);
  const int room = std::max(0, viewport()->width() - total);
  spreading_ = true;
  int given = 0;
  for (int column = 0; column < ImageListModel::ColumnCount; ++column) {
    const int share = column + 1 == ImageListModel::ColumnCount
                          ? room - given
                          : int(qint64(room) * natural_[column] / std::max(total, 1));
    given += share;
    setColumnWidth(column, natural_[column] + share);
  }
  spreading_ = false;
  placeNames();
}

void ImageTable::sectionResized(int column, int newSize) {
  if (column == ImageListModel::Name && names_->columnWidth(column) != newSize) {
    names_->setColumnWidth(column, newSize);
  }
  placeNames();
  if (spreading_) return;
  // The user sized a column: every width as it now stands is kept.
  userSized_ = true;
  for (int c = 0; c < ImageListModel::ColumnCount; ++c) natural_[c] = columnWidth(c);
}

void ImageTable::scrollTo(const QModelIndex& index, ScrollHint hint) {
  const int across = horizontalScrollBar()->value();
  QTableView::scrollTo(index, hint);
  if (index.column() == ImageListModel::Name) {
    horizontalScrollBar()->setValue(across);
    return;
  }
  const int hidden = columnWidth(ImageListModel::Name) - visualRect(index).left();
  if (hidden > 0) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - hidden);
}

void ImageTable::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  spread();
}

void ImageTable::updateGeometries() {
  QTableView::updateGeometries();
  placeNames();
}

void ImageTable::placeNames() {
  if (!model()) return;
  names_->setGeometry(frameWidth(), frameWidth(), columnWidth(ImageListModel::Name),
                      viewport()->height() + horizontalHeader()->height());
}

void ImageTable::actionEvent(QActionEvent* event) {
  QTableView::actionEvent(event);
  // The names' context menu is the table's.
  if (event->type() == QEvent::ActionAdded) {
    names_->addAction(event->action());
  }
}
