#include "batch/ImageList.h"

#include <QLocale>
#include <algorithm>

#include "batch/ImageWords.h"
#include "batch/RunWords.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_Convert.h"

namespace {

// What the image is: what the recognition found, as inspect says it; from a
// report without findings, its length class and the check that refused it
// or why it could not be read.
QString whatItIs(const FileReport& report, const ImageFindings* findings) {
  if (findings && report.length >= 0) return ImageWords::ImageSummary(*findings);
  const QString lengthClass = LengthClassName(report.length);
  if (report.refusal != Refusal::None) {
    return (lengthClass.isEmpty() ? QString() : lengthClass + QStringLiteral(", ")) +
           QStringLiteral("refused: ") + report.reason;
  }
  if (report.length < 0) return report.reason;
  return lengthClass;
}

QString displayText(const ImageListRow& row, int column) {
  const FileReport* report = row.report();
  switch (column) {
    case ImageListModel::Name: return Lib_Convert::ShownText(row.name);
    case ImageListModel::Size:
      return report && report->length >= 0
                 ? QLocale().toString(report->length) + QStringLiteral(" bytes")
                 : QString();
    case ImageListModel::Image:
      if (!row.passedOver.isEmpty()) return {};
      return report ? whatItIs(*report, row.findings()) : QString();
    case ImageListModel::LeftOut: {
      const ImageFindings* findings = row.findings();
      return findings ? ImageWords::LeftOutText(*findings) : QString();
    }
    case ImageListModel::Target: return Lib_Convert::ShownText(row.runText());
    default: return {};
  }
}

}  // namespace

const FileReport* ImageListRow::report() const {
  if (outcome) return &*outcome;
  return prediction ? &*prediction : nullptr;
}

const ImageFindings* ImageListRow::findings() const {
  if (prediction && prediction->findings) return prediction->findings.get();
  return outcome && outcome->findings ? outcome->findings.get() : nullptr;
}

bool ImageListRow::leftOut() const {
  if (!passedOver.isEmpty() || notReached) return true;
  const FileReport* r = report();
  return r && r->outcome != FileOutcome::Converted;
}

QString ImageListRow::runText() const {
  if (!passedOver.isEmpty()) return RunWords::PassedOver(passedOver);
  if (outcome) return RunWords::Result(*outcome);
  if (notReached) return RunWords::NotReached();
  if (prediction) return RunWords::Prediction(*prediction);
  return {};
}

QString ImageListRow::copyText() const {
  const QString shownName = Lib_Convert::ShownText(name);
  const ImageFindings* found = findings();
  if (found == nullptr)
    return shownName + QStringLiteral(": ") + Lib_Convert::ShownText(runText()) + u'\n';
  QString text = ImageWords::FindingsText(shownName, *found);
  if (ran()) text += QStringLiteral("  run: ") + Lib_Convert::ShownText(runText()) + u'\n';
  return text;
}

ImageListModel::ImageListModel(QObject* parent) : QAbstractTableModel(parent) {}

int ImageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(files_.size() + passedOver_.size());
}

int ImageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

const ImageListRow& ImageListModel::RowAt(int row) const {
  return row < files_.size() ? files_[row] : passedOver_[row - files_.size()];
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const ImageListRow& row = RowAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: return displayText(row, index.column());
    case RowRole: return QVariant::fromValue(row);
    case Qt::TextAlignmentRole:
      if (index.column() == Size) return int(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default: return {};
  }
}

QVariant ImageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case Name: return QStringLiteral("Name");
    case Size: return QStringLiteral("Size");
    case Image: return QStringLiteral("Image");
    case LeftOut: return QStringLiteral("Bytes left out");
    case Target: return QStringLiteral("Run");
    case Layout: return QStringLiteral("Layout");
    default: return {};
  }
}

void ImageListModel::Clear() {
  beginResetModel();
  files_.clear();
  passedOver_.clear();
  rowOf_.clear();
  listed_.clear();
  runNames_.clear();
  runReported_ = true;
  endResetModel();
}

void ImageListModel::changed(int first, int last) {
  if (first > last) return;
  Q_EMIT dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

void ImageListModel::Take(const std::vector<FileReport>& reports, Kind kind) {
  if (kind == Kind::Outcome && !runReported_ && !reports.empty()) {
    runReported_ = true;
    for (ImageListRow& row : files_) {
      row.outcome.reset();
      row.notReached = false;
    }
    changed(0, static_cast<int>(files_.size()) - 1);
  }
  int first = INT_MAX, last = -1;
  QList<ImageListRow> added;
  for (const FileReport& report : reports) {
    auto at = rowOf_.constFind(report.name);
    ImageListRow* row = nullptr;
    if (at != rowOf_.constEnd()) {
      row = &files_[*at];
      first = qMin(first, *at);
      last = qMax(last, *at);
    } else {
      added.append(ImageListRow{report.name, {}, {}, false, {}});
      row = &added.last();
    }
    (kind == Kind::Prediction ? row->prediction : row->outcome) = report;
    if (kind == Kind::Outcome) {
      row->notReached = false;
      // The run read the image after the look did: what the look found may
      // no longer be so.
      if (row->prediction) row->prediction->findings.reset();
    }
  }
  changed(first, last);
  addFiles(std::move(added));
}

void ImageListModel::SetPassedOver(const QList<NativeFile::FolderEntry>& entries) {
  const int at = static_cast<int>(files_.size());
  if (!passedOver_.isEmpty()) {
    beginRemoveRows({}, at, at + static_cast<int>(passedOver_.size()) - 1);
    passedOver_.clear();
    endRemoveRows();
  }
  if (entries.isEmpty()) return;
  beginInsertRows({}, at, at + static_cast<int>(entries.size()) - 1);
  for (const NativeFile::FolderEntry& entry : entries)
    passedOver_.append(ImageListRow{entry.name, {}, {}, false, entry.passedOver});
  endInsertRows();
}

void ImageListModel::KeepOnly(const QStringList& names) {
  listed(names);
  for (int row = static_cast<int>(files_.size()) - 1; row >= 0; --row) {
    const ImageListRow& file = files_[row];
    if (listed_.contains(file.name) || file.outcome || file.notReached) continue;
    beginRemoveRows({}, row, row);
    files_.removeAt(row);
    endRemoveRows();
  }
  // A listing may order the files anew (a file renamed, one put back): the
  // rows follow it, as the run will.
  const auto before = [this](const ImageListRow& a, const ImageListRow& b) {
    return orderOf(a.name) < orderOf(b.name);
  };
  if (!std::is_sorted(files_.cbegin(), files_.cend(), before)) {
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList old = persistentIndexList();
    QStringList oldNames;
    for (const QModelIndex& index : old) oldNames << RowAt(index.row()).name;
    std::stable_sort(files_.begin(), files_.end(), before);
    reindex();
    QModelIndexList now;
    for (int i = 0; i < old.size(); ++i) {
      now << (old[i].row() < Files() ? index(rowOf_.value(oldNames[i]), old[i].column()) : old[i]);
    }
    changePersistentIndexList(old, now);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  }
  reindex();
}

void ImageListModel::listed(const QStringList& names) {
  listed_.clear();
  listed_.reserve(names.size());
  for (int at = 0; at < names.size(); ++at) listed_.insert(names[at], at);
}

void ImageListModel::addFiles(QList<ImageListRow> added) {
  if (added.isEmpty()) return;
  const auto before = [this](const ImageListRow& a, const ImageListRow& b) {
    return orderOf(a.name) < orderOf(b.name);
  };
  std::stable_sort(added.begin(), added.end(), before);
  if (files_.isEmpty() || !before(added.first(), files_.last())) {
    // A look filling in: the new rows follow the others.
    const int at = static_cast<int>(files_.size());
    beginInsertRows({}, at, at + static_cast<int>(added.size()) - 1);
    for (int row = 0; row < added.size(); ++row) rowOf_.insert(added[row].name, at + row);
    files_.append(std::move(added));
    endInsertRows();
    return;
  }
  for (ImageListRow& row : added) {
    const int at = static_cast<int>(std::upper_bound(files_.cbegin(), files_.cend(), row, before) -
                                    files_.cbegin());
    beginInsertRows({}, at, at);
    files_.insert(at, std::move(row));
    endInsertRows();
  }
  reindex();
}

void ImageListModel::reindex() {
  rowOf_.clear();
  for (int row = 0; row < files_.size(); ++row) rowOf_.insert(files_[row].name, row);
}

void ImageListModel::RunStarted(const QStringList& names) {
  listed(names);
  runNames_ = names;
  runReported_ = false;
}

void ImageListModel::RunEnded() {
  if (!runReported_) return;
  int first = INT_MAX, last = -1;
  QList<ImageListRow> added;
  for (const QString& name : runNames_) {
    auto at = rowOf_.constFind(name);
    if (at == rowOf_.constEnd()) {
      added.append(ImageListRow{name, {}, {}, true, {}});
      continue;
    }
    ImageListRow& row = files_[*at];
    if (row.outcome) continue;
    row.notReached = true;
    first = qMin(first, *at);
    last = qMax(last, *at);
  }
  changed(first, last);
  addFiles(std::move(added));
}

Toolkit::Answer ImageListFeed::MsgBox(const Toolkit::Message& message) {
  // The run's own front end answers; the list only listens.
  Q_UNUSED(message);
  return Toolkit::Answer::OK;
}

void ImageListFeed::CountsChanged(const RunTotals& totals) {
  Q_UNUSED(totals);
  Flush();
}

void ImageListFeed::Flush() {
  if (!group_.empty()) model_->Take(group_, kind_);
  group_.clear();
  if (!passedOver_.isEmpty()) model_->SetPassedOver(passedOver_);
  passedOver_.clear();
}
