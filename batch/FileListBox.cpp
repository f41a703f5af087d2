#include "batch/FileListBox.h"

#include <QDir>
#include <algorithm>

#include "engine/NativeFile.h"

namespace {

bool hasWildcard(const QString& pattern) {
  return pattern.contains(u'*') || pattern.contains(u'?');
}

bool sameLetter(QChar a, QChar b) {
  return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// "*" matches any run of characters, "?" any one, letters compared without
// regard to case. Works on names that are not valid text, too (see
// NativeFile::DecodeName).
bool matches(const QString& pattern, const QString& name) {
  qsizetype p = 0, n = 0, star = -1, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || sameLetter(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (star >= 0) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool FileListBox::ListedBefore(const QString& a, const QString& b) {
  const int folded = a.compare(b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : a < b;
}

FileListBox::FileListBox(QObject* parent) : QObject(parent) {}

bool FileListBox::IsReadableFolder(const QString& path) {
  return NativeFile::IsReadableFolder(path);
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
  passedOver_.clear();
  listIndex_ = -1;
  if (!pathValid_) return;
  const QString folder = NativeFile::WithSeparator(path_);
  if (!hasWildcard(pattern_)) {
    if (!pattern_.isEmpty() && NativeFile::IsListedFile(folder + pattern_)) {
      names_.append(pattern_);
    }
    return;
  }
  for (NativeFile::FolderEntry& entry : NativeFile::ListEntries(folder)) {
    if (!matches(pattern_, entry.name)) continue;
    if (entry.passedOver.isEmpty()) {
      names_.append(std::move(entry.name));
    } else {
      passedOver_.append(std::move(entry));
    }
  }
  std::sort(names_.begin(), names_.end(), ListedBefore);
  std::sort(passedOver_.begin(), passedOver_.end(),
            [](const auto& a, const auto& b) { return ListedBefore(a.name, b.name); });
}
