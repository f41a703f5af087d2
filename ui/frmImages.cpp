#include "ui/frmImages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "batch/BatchRun.h"
#include "batch/FileListBox.h"
#include "batch/ImageList.h"
#include "batch/ImageSurvey.h"
#include "batch/ImageWords.h"
#include "engine/ImageFindings.h"
#include "ui/Controls.h"
#include "ui/ImageTable.h"
#include "ui/LayoutStrip.h"
#include "ui/frmReadAs.h"
#include "ui/frm_Main.h"

// Sorts sizes as numbers and rows of equal keys in the run's order, and
// keeps only the files a run leaves out when asked to.
class ImageListFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void SetLeftOutOnly(bool only) {
    leftOutOnly_ = only;
    invalidateRowsFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    if (!leftOutOnly_) return true;
    const auto* model = static_cast<const ImageListModel*>(sourceModel());
    return model->RowAt(sourceModel()->index(row, 0, parent).row()).leftOut();
  }

  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
    if (left.column() == ImageListModel::Size) {
      const auto* model = static_cast<const ImageListModel*>(sourceModel());
      const FileReport* a = model->RowAt(left.row()).report();
      const FileReport* b = model->RowAt(right.row()).report();
      const qint64 la = a ? a->length : -1, lb = b ? b->length : -1;
      if (la != lb) return la < lb;
      return left.row() < right.row();
    }
    if (left.column() == ImageListModel::Name) {
      // Names go in the run's order, which is not the locale's.
      const auto* model = static_cast<const ImageListModel*>(sourceModel());
      const QString& a = model->RowAt(left.row()).name;
      const QString& b = model->RowAt(right.row()).name;
      if (a != b) return FileListBox::ListedBefore(a, b);
      return left.row() < right.row();
    }
    const int order = QString::localeAwareCompare(left.data().toString(), right.data().toString());
    return order != 0 ? order < 0 : left.row() < right.row();
  }

 private:
  bool leftOutOnly_ = false;
};

namespace {

// How large the window was and how wide its columns were, for this session
// only: the settings store keeps the program's settings and nothing else.
QSize keptSize;

// The column widths the user chose, if any.
QByteArray keptColumns;

std::optional<OutputLayout> layoutOf(const ConversionSettingsRecord& s) {
  OutputLayout layout;
  if (ResolveLayout(s.OutOrder, s.PadValue, s.PadSize, s.PadType, s.Bank1Only, s.Limit32K,
                    &layout) != LayoutError::None) {
    return std::nullopt;
  }
  return layout;
}

// The settings a press of Reorder would run with: the folders and
// extensions as the main window shows them, the rest as stored.
ConversionSettingsRecord reorderSettings() {
  ConversionSettingsRecord s = ConversionSettings;
  if (frm_Main* main = Forms::frm_Main.loaded()) {
    s.Source = main->txtSource->Folder();
    s.Target = main->txtTarget->Folder();
    s.SourceExt = main->txtSourceExt->text();
    s.TargetExt = main->txtTargetExt->text();
  }
  return s;
}

}  // namespace

frmImages::frmImages() {
  setObjectName(QStringLiteral("frmImages"));
  setWindowTitle(QStringLiteral("Images"));
  setWindowFlag(Qt::Window);
  // The list is the main window's: it goes with it.
  model_ = Forms::frm_Main->Images;
  connect(Forms::frm_Main.get(), &Form::unloaded, this, [this] { Unload(); });

  filter_ = new ImageListFilter(this);
  filter_->setSourceModel(model_);
  // Sorting follows the rows as the look adds them, group by group.
  filter_->setDynamicSortFilter(true);
  delegate_ = new ImageListDelegate(this);

  lvwImages = new ImageTable(this);
  lvwImages->setObjectName(QStringLiteral("lvwImages"));
  lvwImages->setAccessibleName(QStringLiteral("Images"));
  lvwImages->setAccessibleDescription(
      QStringLiteral("The files a run takes from the source folder, and what it does with them"));
  lvwImages->setModel(filter_);
  lvwImages->SetDelegate(delegate_);
  const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));

  auto* copy = new QAction(QStringLiteral("&Copy"), lvwImages);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  lvwImages->addAction(copy);
  auto* readAs = new QAction(QStringLiteral("Read &as..."), lvwImages);
  lvwImages->addAction(readAs);
  connect(readAs, &QAction::triggered, this, &frmImages::cmdReadAs_Click);
  lvwImages->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copy, &QAction::triggered, this, &frmImages::copyRows);
  // The view copies the current cell's text on its own; the key copies rows.
  lvwImages->installEventFilter(this);

  chkLeftOut = new QCheckBox(QStringLiteral("Only the files &left out"), this);
  chkLeftOut->setObjectName(QStringLiteral("chkLeftOut"));
  chkLeftOut->setAccessibleName(QStringLiteral("Only the files left out"));
  lblCount = new QLabel(this);
  lblCount->setObjectName(QStringLiteral("lblCount"));
  lblCount->setAccessibleName(QStringLiteral("Count"));
  lblCount->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // What it tells may hold a folder's name: text, never markup.
  lblCount->setTextFormat(Qt::PlainText);
  // The count grows while a look reads the folder and may hold the run's
  // whole refusal: it takes the room the bar has, and never widens the
  // window past the screen.
  lblCount->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  prgLook = new QProgressBar(this);
  prgLook->setObjectName(QStringLiteral("prgLook"));
  prgLook->setAccessibleName(QStringLiteral("Files read"));
  prgLook->setMaximumWidth(digit * 24);
  prgLook->hide();
  cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
  cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
  cmdRefresh->setToolTip(QStringLiteral("Look at the folders again (F5)"));
  auto* refreshKey = new QAction(this);
  refreshKey->setShortcut(QKeySequence::Refresh);
  addAction(refreshKey);

  cmdReadAs = new QPushButton(QStringLiteral("Read &as..."), this);
  cmdReadAs->setObjectName(QStringLiteral("cmdReadAs"));
  cmdReadAs->setToolTip(
      QStringLiteral("State the layout of an image whose banks cannot be told apart"));
  cmdReadAs->setEnabled(false);
  connect(cmdReadAs, &QPushButton::clicked, this, &frmImages::cmdReadAs_Click);
  connect(lvwImages->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &frmImages::enableReadAs);
  connect(model_, &QAbstractItemModel::dataChanged, this, &frmImages::enableReadAs);
  readAs->setEnabled(false);

  auto* bar = new QHBoxLayout;
  bar->addWidget(cmdReadAs);
  bar->addWidget(chkLeftOut);
  bar->addWidget(lblCount, 1);
  bar->addWidget(prgLook);
  bar->addWidget(cmdRefresh);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lvwImages);
  layout->addLayout(bar);
  setTabOrder(lvwImages, cmdReadAs);
  setTabOrder(cmdReadAs, chkLeftOut);
  setTabOrder(chkLeftOut, cmdRefresh);

  survey_ = new ImageSurvey(model_, this);
  connect(survey_, &ImageSurvey::progressed, this, [this](int read, int total) {
    prgLook->setRange(0, total);
    prgLook->setValue(read);
    showCount();
  });
  // A look the run would refuse says why, in the run's own words.
  connect(survey_, &ImageSurvey::refused, this, [this](const Toolkit::Message& message) {
    refusal_ = Toolkit::OneLine(message);
    showCount();
  });
  connect(survey_, &ImageSurvey::finished, this, [this] {
    prgLook->hide();
    showCount();
    lvwImages->FitColumns();
    growToFit();
  });
  connect(model_, &QAbstractItemModel::rowsInserted, this, &frmImages::showCount);
  connect(model_, &QAbstractItemModel::rowsInserted, lvwImages, &ImageTable::FitColumnsSoon);
  connect(model_, &QAbstractItemModel::dataChanged, this, &frmImages::showCount);
  connect(model_, &QAbstractItemModel::modelReset, this, &frmImages::showCount);

  settle_.setSingleShot(true);
  settle_.setInterval(300);
  connect(&settle_, &QTimer::timeout, this, &frmImages::look);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
    if (!running_) settle_.start();
  });
  // The folders, extensions and options are read where the windows keep
  // them; a change there is seen within half a second.
  poll_.setInterval(500);
  connect(&poll_, &QTimer::timeout, this, &frmImages::settingsMayHaveChanged);

  connect(cmdRefresh, &QPushButton::clicked, this, &frmImages::cmdRefresh_Click);
  connect(refreshKey, &QAction::triggered, this, &frmImages::cmdRefresh_Click);
  connect(chkLeftOut, &QCheckBox::clicked, this, &frmImages::chkLeftOut_Click);
  closeOnEscape([this] { Unload(); });
}

void frmImages::Form_Load() {
  if (!keptColumns.isEmpty()) {
    lvwImages->horizontalHeader()->restoreState(keptColumns);
    lvwImages->TakeWidths();
  }
  lvwImages->FitColumns();
  growOnce_ = !keptSize.isValid();
  resize(sizeHint());
  running_ = Processing;
  cmdRefresh->setEnabled(!running_);
  lookedAt_ = reorderSettings();
  delegate_->SetLayout(layoutOf(lookedAt_));
  poll_.start();
  if (!running_) look();
  showCount();
}

void frmImages::Form_Unload(int& Cancel) {
  Q_UNUSED(Cancel);
  keptSize = size();
  if (lvwImages->UserSized()) keptColumns = lvwImages->horizontalHeader()->saveState();
  poll_.stop();
  settle_.stop();
  survey_->Stop();
}

QSize frmImages::sizeHint() const {
  if (keptSize.isValid()) return keptSize;
  // Room for every column at its natural width, within the screen.
  const QMargins margins = layout()->contentsMargins();
  QSize wanted(lvwImages->NaturalWidth() + margins.left() + margins.right(),
               fontMetrics().height() * 30);
  if (screen()) {
    const QSize frame = frameGeometry().size() - size();
    wanted = wanted.boundedTo(screen()->availableGeometry().size() - frame);
  }
  return wanted;
}

void frmImages::growToFit() {
  // Once, when the first look has told what the columns hold: a window
  // opened before it knew is made as wide as they need, within the screen.
  if (!growOnce_ || !isVisible()) return;
  growOnce_ = false;
  // Shown, the window knows its frame: one opened as wide as the screen
  // before it did narrows by the frame.
  const int wider = sizeHint().width() - width();
  if (wider == 0) return;
  resize(width() + wider, height());
  const QRect screenArea = screen()->availableGeometry();
  QRect frame = frameGeometry();
  if (frame.right() > screenArea.right()) {
    frame.moveRight(screenArea.right());
    frame.moveLeft(std::max(frame.left(), screenArea.left()));
    move(frame.topLeft());
  }
}

void frmImages::cmdRefresh_Click() {
  if (!running_) look();
}

void frmImages::chkLeftOut_Click() {
  filter_->SetLeftOutOnly(chkLeftOut->isChecked());
  showCount();
}

bool frmImages::canReadAs() const {
  const QModelIndex current = lvwImages->currentIndex();
  if (running_ || !current.isValid()) return false;
  const ImageListRow& row = model_->RowAt(filter_->mapToSource(current).row());
  const ImageFindings* f = row.findings();
  return f && f->error.isEmpty() &&
         (f->reading.stated ||
          (IsFourBankLength(f->reading.length) && StatingReads(f->reading.refusal)));
}

void frmImages::enableReadAs() {
  const bool can = canReadAs();
  cmdReadAs->setEnabled(can);
  for (QAction* action : lvwImages->actions()) {
    if (action->text().startsWith(QStringLiteral("Read"))) action->setEnabled(can);
  }
}

void frmImages::cmdReadAs_Click() {
  if (!canReadAs()) return;
  const ImageListRow& row = model_->RowAt(filter_->mapToSource(lvwImages->currentIndex()).row());
  const QString name = row.name;
  const StatedLayouts& stated = Forms::frm_Main->Stated;
  const qint64 length = row.findings()->reading.length;
  frmReadAs* dialog = Forms::frmReadAs.get();
  if (!dialog->Begin(name, FolderWithSeparator(lookedAt_.Source) + name,
                     stated.For(name, length))) {
    dialog->Unload();
    return;
  }
  const StatedLayouts before = stated;
  dialog->Show(Form::ShowMode::Modal);
  if (Forms::frm_Main->Stated != before) look();
}

void frmImages::RunStarting() {
  running_ = true;
  enableReadAs();
  settle_.stop();
  survey_->Stop();
  prgLook->hide();
  cmdRefresh->setEnabled(false);
}

void frmImages::RunEnded() {
  running_ = false;
  cmdRefresh->setEnabled(true);
  look();
}

void frmImages::look() {
  settle_.stop();
  const ConversionSettingsRecord now = reorderSettings();
  if (lookedAt_.Source != now.Source || lookedAt_.SourceExt != now.SourceExt) model_->Clear();
  lookedAt_ = now;
  delegate_->SetLayout(layoutOf(lookedAt_));
  lvwImages->viewport()->update();
  watchFolders();
  refusal_.clear();
  prgLook->setRange(0, 0);
  prgLook->show();
  survey_->Start(lookedAt_, Forms::frm_Main->Stated);
}

void frmImages::settingsMayHaveChanged() {
  if (!running_ && reorderSettings() != lookedAt_) look();
}

void frmImages::watchFolders() {
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  for (const QString& folder : {lookedAt_.Source, lookedAt_.Target}) {
    const QString path = FolderWithSeparator(folder);
    if (!path.isEmpty() && !watcher_.directories().contains(path)) watcher_.addPath(path);
  }
}

void frmImages::showCount() {
  if (!refusal_.isEmpty()) {
    lblCount->setText(refusal_);
    return;
  }
  int leftOut = 0;
  const int files = model_->Files();
  for (int row = 0; row < files; ++row) leftOut += model_->RowAt(row).leftOut() ? 1 : 0;
  const int passedOver = model_->rowCount() - files;
  QString text = QStringLiteral("%1 %2, %3 left out")
                     .arg(files)
                     .arg(files == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                     .arg(leftOut);
  if (passedOver > 0) text += QStringLiteral(", %1 passed over").arg(passedOver);
  if (survey_->Running() && survey_->Total() > 0) {
    text += QStringLiteral("; reading %1 of %2").arg(survey_->Read()).arg(survey_->Total());
  }
  lblCount->setText(text);
}

bool frmImages::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lvwImages && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    copyRows();
    return true;
  }
  return Form::eventFilter(watched, event);
}

void frmImages::copyRows() {
  QModelIndexList rows = lvwImages->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end());
  QString text;
  for (const QModelIndex& index : rows)
    text += model_->RowAt(filter_->mapToSource(index).row()).copyText();
  QApplication::clipboard()->setText(text);
}
