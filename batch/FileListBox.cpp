#include "batch/FileListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

bool hasWildcard(const QString& pattern) {
  return pattern.contains(u'*') || pattern.contains(u'?');
}

QRegularExpression wildcardExpression(const QString& pattern) {
  QString expression;
  for (QChar c : pattern) {
    if (c == u'*') {
      expression += QStringLiteral(".*");
    } else if (c == u'?') {
      expression += u'.';
    } else {
      expression += QRegularExpression::escape(QString(c));
    }
  }
  return QRegularExpression(
      QRegularExpression::anchoredPattern(expression),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
}

// Files marked as the system's own are left out on Windows, as the
// platform's own file lists do; other systems have no such mark.
bool isSystemFile(const QFileInfo& info) {
#ifdef Q_OS_WIN
  const DWORD attributes =
      GetFileAttributesW(reinterpret_cast<LPCWSTR>(info.absoluteFilePath().utf16()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
#else
  Q_UNUSED(info);
  return false;
#endif
}

bool listable(const QFileInfo& info) {
  return info.isFile() && !info.isHidden() && !isSystemFile(info);
}

}  // namespace

FileListBox::FileListBox(QObject* parent) : QObject(parent) {}

bool FileListBox::IsReadableFolder(const QString& path) {
  const QFileInfo folder(path);
  return !path.isEmpty() && folder.isDir() && folder.isReadable() && QDir(path).isReadable();
}

bool FileListBox::setPath(const QString& path) {
  path_ = path;
  pathValid_ = IsReadableFolder(path);
  refresh();
  return pathValid_;
}

void FileListBox::setPattern(const QString& pattern) {
  pattern_ = pattern;
  refresh();
}

QString FileListBox::FileName() const {
  if (listIndex_ < 0 || listIndex_ >= names_.size()) return {};
  return names_[listIndex_];
}

void FileListBox::refresh() {
  names_.clear();
  listIndex_ = -1;
  if (!pathValid_) return;
  const QDir folder(path_);
  if (!hasWildcard(pattern_)) {
    if (!pattern_.isEmpty() && listable(QFileInfo(folder, pattern_))) {
      names_.append(pattern_);
    }
    return;
  }
  const QRegularExpression match = wildcardExpression(pattern_);
  // Without QDir::Hidden and QDir::System, hidden files, system files and
  // broken links stay out, as they do in the platform's own file lists. A
  // link is listed only when it leads to a regular file.
  const QStringList all = folder.entryList(QDir::Files, QDir::Unsorted);
  for (const QString& name : all) {
    if (match.match(name).hasMatch() && listable(QFileInfo(folder, name))) names_.append(name);
  }
  std::sort(names_.begin(), names_.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
}
