#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QStringList>
#include <climits>
#include <optional>
#include <vector>

#include "batch/BatchRun.h"

// One row of the image list: a file of the source folder with what a run
// would do with it (a dry run's report) and what the last run did (its
// report), or an entry the listing passes over.
struct ImageListRow {
  QString name;
  std::optional<FileReport> prediction;
  std::optional<FileReport> outcome;
  bool notReached = false;  // the last run stopped before taking it up
  QString passedOver;       // why the listing leaves the entry out; empty for a file

  // The report that says most of the image: its outcome's, or its prediction's.
  const FileReport* report() const;
  // What is known of the bytes in the image, as last read: by a look after
  // the run (which gives each bank's CRC-32 too), else by the run, else by
  // the look before it.
  const ImageFindings* findings() const;
  // Whether a run leaves the file out: skipped, refused, stopped, passed
  // over or never reached; predicted so while no run has taken it up.
  bool leftOut() const;
  // What a run did or would do with the file, or why the listing passes it
  // over, in the run's words, as given (the list shows it escaped).
  QString runText() const;
  // Whether a run has taken the file up or passed it by: what the run words
  // tell is then what happened.
  bool ran() const { return outcome.has_value() || notReached; }
  // The row as Copy puts it on the clipboard: what inspect tells of the
  // image and, once a run has taken it up, what became of it; names escaped
  // as the list shows them.
  QString copyText() const;
};
Q_DECLARE_METATYPE(ImageListRow)

// The files a run takes from the source folder, in the run's order, each
// with what it is and what a run would do or did with it, and below them
// the entries the listing passes over. Fed with a dry run's reports (by
// ImageSurvey) and with every real run's (through ImageListFeed); knows no
// window.
class ImageListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Name, Size, Image, LeftOut, Target, Layout, ColumnCount };
  // The row as an ImageListRow, for sorting and painting.
  static constexpr int RowRole = Qt::UserRole + 1;

  explicit ImageListModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Forgets every row: the folders, extensions or layout changed.
  void Clear();

  enum class Kind { Prediction, Outcome };
  // Takes a group of reports: each updates its file's row or adds one after
  // the other files. One change signal for the group.
  void Take(const std::vector<FileReport>& reports, Kind kind);
  // The entries the listing passed over, below the files, in place of the
  // ones before.
  void SetPassedOver(const QList<NativeFile::FolderEntry>& entries);
  // A look at the folder has listed these names: rows of other files go,
  // but for those the last run told of.
  void KeepOnly(const QStringList& names);

  // A run over these names starts: earlier outcomes are forgotten once it
  // reports its first file (a run refused before its first file changes
  // nothing).
  void RunStarted(const QStringList& names);
  // The run ended: the files of its list it never reported were not reached.
  void RunEnded();

  const ImageListRow& RowAt(int row) const;
  int Files() const { return static_cast<int>(files_.size()); }

 private:
  void changed(int first, int last);
  // Where a file stands in the run's order; files no listing names go last.
  int orderOf(const QString& name) const { return listed_.value(name, INT_MAX); }
  void listed(const QStringList& names);
  // Adds rows of new files, each at its place in the run's order.
  void addFiles(QList<ImageListRow> added);
  void reindex();

  QList<ImageListRow> files_;
  QList<ImageListRow> passedOver_;
  QHash<QString, int> rowOf_;   // a file's name to its row
  QHash<QString, int> listed_;  // a file's name to its place in the last listing
  QStringList runNames_;        // the list of the run under way or last run
  bool runReported_ = true;     // the run under way has reported a file
};

// The model's front end for a run: hands each group of reports to the model
// once the run has settled them, and the entries the run passed over.
class ImageListFeed : public RunFrontEnd {
 public:
  ImageListFeed(ImageListModel* model, ImageListModel::Kind kind) : model_(model), kind_(kind) {}

  Toolkit::Answer MsgBox(const Toolkit::Message& message) override;
  void ShowProgress(int, int, const QString&) override {}
  void EventPoint() override {}
  void FileDone(const FileReport& report) override { group_.push_back(report); }
  void CountsChanged(const RunTotals& totals) override;
  void PassedOver(const NativeFile::FolderEntry& entry) override { passedOver_.append(entry); }

  // Hands on what is still held; the run has ended.
  void Flush();

 private:
  ImageListModel* model_;
  ImageListModel::Kind kind_;
  std::vector<FileReport> group_;
  QList<NativeFile::FolderEntry> passedOver_;
};
