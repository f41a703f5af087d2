#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "engine/NativeFile.h"

// A never-visible file list: the ordinary files of one folder (no folders,
// no hidden files, on Windows no system files) whose names match a wildcard
// pattern, letter case ignored. Names are sorted by name, letters compared
// without regard to case, names equal but for case in code-point order.
class FileListBox : public QObject {
  Q_OBJECT

 public:
  explicit FileListBox(QObject* parent = nullptr);

  // The list's order: letters compared without regard to case, names equal
  // but for case in code-point order, so that the order is fixed.
  static bool ListedBefore(const QString& a, const QString& b);

  // Whether path names a folder whose entries can be read.
  static bool IsReadableFolder(const QString& path);

  // Points the list at a folder; false (the list then empty) when the folder
  // does not exist or cannot be read.
  bool setPath(const QString& path);
  QString Path() const { return path_; }

  // "*" matches any run of characters, "?" any one; everything else stands
  // for itself. A pattern without either is looked up directly, so testing
  // whether one file exists never lists the whole folder.
  void setPattern(const QString& pattern);
  QString Pattern() const { return pattern_; }

  int ListCount() const { return static_cast<int>(names_.size()); }
  void setListIndex(int index) { listIndex_ = index; }
  int ListIndex() const { return listIndex_; }
  // The name (with extension, no folder) of the selected entry.
  QString FileName() const;

  // Whether the last setPath found a readable folder.
  bool PathValid() const { return pathValid_; }

  // The entries whose names match the pattern but that the list leaves out
  // (folders, pipes, hidden files...), each with why, in the list's order.
  const QList<NativeFile::FolderEntry>& PassedOver() const { return passedOver_; }

 private:
  void refresh();

  QString path_;
  QString pattern_ = QStringLiteral("*");
  bool pathValid_ = false;
  QStringList names_;
  QList<NativeFile::FolderEntry> passedOver_;
  int listIndex_ = -1;
};
