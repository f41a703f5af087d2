// What a crash part way through a run may leave on the disk. Each row records every change a real
// run makes (the window's or the command line's), builds from that log every state a journaled
// file system may be left in by a crash, and holds each state to what the run promises: targets
// whole or untouched, sources untouched, every target reported converted there in full, and a
// next run that clears the leftovers and takes none of them for a target.
//
// The crash model. It must allow every state that ext4 in its default ordered mode, XFS and NTFS
// may leave, since a run cannot know which it is on; where they differ, it allows the state.
// - The log holds each change once the system has answered it; a crash comes after any number
//   of its entries ("issued"). Changes that two threads make at once are in the order they were
//   answered: a run makes names from two threads at once only for different files, the placing
//   thread's targets and the writing thread's temporary files, whose order no promise rests on.
// - Names (a file created, renamed, linked, removed; a file another program puts at a name) reach
//   the disk in the order they were made, as a prefix of those issued: a journal commits them in
//   order. Every one before the last flush of the folder or of the whole file system is there;
//   any number of the later ones may be ("named"). A flush of one file makes no name durable.
// - Bytes: a flush of a file puts its bytes and length on the disk, a flush of the whole file
//   system every file's. The bytes a file was written since its last flush share one fate: kept
//   whole; lost, the file back at its length at that flush (delayed allocation); zeros over the
//   length written (a length logged before its blocks); or torn, the first half of those bytes
//   kept and zeros after. Each state gives every such file one fate: all kept, one file any other
//   fate with the rest kept, or all files the same fate.
// Data written bypassing the cache is held to the same model: its blocks are on the disk, but the
// length and the extents that reach them are not until the file is flushed.
//
// The test also proves that it bites, on every recorded log: without any one of its flushes, and
// with any placing of a file (a rename or a link) moved before the flush that put that file's
// bytes on the disk, some state must fail.
#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#endif

#include "batch/BatchRun.h"
#include "batch/ImageList.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "settings/modGlobals.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/RecordingFrontEnd.h"
#include "tests/support/RunFixture.h"
#include "tests/support/TestSupport.h"
#include "tools/ImageBuilder.h"
#include "ui/frmProcess.h"
#include "ui/frm_Main.h"

using namespace ImageBuilder;
using NativeFile::Change;

namespace {

// What the runs leave to the last line.
int statesChecked = 0;
int mutationsMade = 0;
int mutationsCaught = 0;

bool isTemporary(const QString& name) {
  return name.startsWith(QStringLiteral(".~quillet-"));
}

QString folderKey(const QString& path) {
  return QDir::cleanPath(path);
}

// ---------------------------------------------------------------------------------------------
// The log

// The changes of the file layer, in its own order, and what the test notes between them.
enum class Kind : quint8 {
  Create,
  Write,
  FlushFile,
  FlushFileSystem,
  Rename,
  RenameNoReplace,
  Link,
  Unlink,
  FlushFolder,
  Appears,   // another program put a file with data at name
  Reported,  // the run told the user the target name was converted
};
static_assert(int(Kind::FlushFolder) == int(Change::FlushFolder));

struct Entry {
  Kind kind = Kind::Create;
  QString folder{}, name{}, to{};
  qint64 offset = 0;
  QByteArray data{};
  int file = -1;  // the file written, flushed or placed, as the log first resolved it
};
using Log = QList<Entry>;

bool isFlush(Kind kind) {
  return kind == Kind::FlushFile || kind == Kind::FlushFileSystem || kind == Kind::FlushFolder;
}
bool isPlacing(Kind kind) {
  return kind == Kind::Rename || kind == Kind::RenameNoReplace || kind == Kind::Link;
}

QString describe(const Entry& e) {
  static const char* const words[] = {
      "create", "write",  "flush file",   "flush file system", "rename",  "rename (no replace)",
      "link",   "unlink", "flush folder", "appears",           "reported"};
  QString text = QString::fromLatin1(words[int(e.kind)]);
  if (!e.name.isEmpty()) text += u' ' + e.name;
  if (!e.to.isEmpty()) text += QStringLiteral(" -> ") + e.to;
  return text;
}

// A disk recorder that also lets a row act as a new file is about to be made, and notes the test's
// own entries at their place among the changes.
class RunRecorder : public DiskRecorder {
 public:
  std::function<void()> beforeCreate;

  int Before(const NativeFile::Operation& operation) override {
    if (operation.change == Change::Create && beforeCreate) beforeCreate();
    return DiskRecorder::Before(operation);
  }
  void Note(Entry entry) { notes_.append({static_cast<int>(Records().size()), std::move(entry)}); }

  // The changes made (failed ones changed nothing) with the notes among them.
  Log TakeLog() const {
    Log log;
    const QList<Record> records = Records();
    auto note = notes_.begin();
    for (qsizetype i = 0; i <= records.size(); ++i) {
      for (; note != notes_.end() && note->first == i; ++note) log.append(note->second);
      if (i == records.size() || records[i].error != 0) continue;
      const Record& r = records[i];
      log.append(
          {static_cast<Kind>(r.change), folderKey(r.folder), r.name, r.to, r.offset, r.data});
    }
    return log;
  }

 private:
  QList<std::pair<int, Entry>> notes_;
};

// ---------------------------------------------------------------------------------------------
// The states a crash may leave

using Folders = QMap<QString, QMap<QString, QByteArray>>;  // folder -> name -> bytes
using Names = QMap<QString, QMap<QString, int>>;           // folder -> name -> file

enum class Fate : quint8 { Kept, Lost, Zeros, Torn };
const char* const FateWords[] = {"kept", "lost", "zeros", "torn"};

// How far a file's writes had gone, and how many of them a flush had put on the disk.
struct Mark {
  int written = 0;
  int flushed = 0;
};

// Every file the log knows, with its bytes before the run and every write to it, in order.
class Files {
 public:
  // Numbers the files of the folders before the run, then each one the log creates or another
  // program puts in place, and ties each entry to the file it acts on: a log changed later
  // keeps acting on the same files.
  Files(const Folders& before, Log& log) {
    Names live;
    for (auto [folder, files] : before.asKeyValueRange())
      for (auto [name, bytes] : files.asKeyValueRange()) live[folder][name] = add(bytes);
    for (Entry& e : log) {
      switch (e.kind) {
        case Kind::Create: e.file = live[e.folder][e.name] = add({}); break;
        case Kind::Appears: e.file = live[e.folder][e.name] = add(e.data); break;
        case Kind::Write:
        case Kind::FlushFile:
        case Kind::Rename:
        case Kind::RenameNoReplace:
        case Kind::Link:
        case Kind::Unlink: e.file = live[e.folder].value(e.name, -1); break;
        default: break;
      }
      if (e.kind == Kind::Rename || e.kind == Kind::RenameNoReplace) live[e.folder].remove(e.name);
      if (isPlacing(e.kind)) live[e.folder][e.to] = e.file;
      if (e.kind == Kind::Unlink) live[e.folder].remove(e.name);
      if (e.kind == Kind::Write && e.file >= 0) writes_[e.file].append(e);
      if ((e.kind == Kind::Write || e.kind == Kind::FlushFile || isPlacing(e.kind) ||
           e.kind == Kind::Unlink) &&
          e.file < 0)
        unknown_ += describe(e) + QStringLiteral("; ");
    }
  }

  int Count() const { return static_cast<int>(base_.size()); }
  // Entries that name no file the log or the folders had: the log is not whole.
  const QString& Unknown() const { return unknown_; }

  QByteArray Bytes(int file, Mark mark, Fate fate) {
    if (mark.flushed == mark.written) fate = Fate::Kept;
    const QString key =
        QStringLiteral("%1:%2:%3:%4").arg(file).arg(mark.written).arg(mark.flushed).arg(int(fate));
    if (auto known = cache_.constFind(key); known != cache_.constEnd()) return *known;
    QByteArray bytes = base_[file];
    const QList<Entry>& writes = writes_[file];
    auto put = [&](qint64 offset, QByteArrayView data, qint64 kept) {
      if (bytes.size() < offset + data.size()) {
        const qsizetype end = bytes.size();
        bytes.resize(offset + data.size());
        std::fill(bytes.begin() + end, bytes.end(), '\0');
      }
      std::copy(data.begin(), data.begin() + kept, bytes.begin() + offset);
      std::fill(bytes.begin() + offset + kept, bytes.begin() + offset + data.size(), '\0');
    };
    for (int i = 0; i < mark.flushed; ++i)
      put(writes[i].offset, writes[i].data, writes[i].data.size());
    if (fate != Fate::Lost) {
      qint64 unflushed = 0;
      for (int i = mark.flushed; i < mark.written; ++i) unflushed += writes[i].data.size();
      qint64 keep = fate == Fate::Kept ? unflushed : fate == Fate::Torn ? unflushed / 2 : 0;
      for (int i = mark.flushed; i < mark.written; ++i) {
        const qint64 kept = std::min<qint64>(keep, writes[i].data.size());
        put(writes[i].offset, writes[i].data, kept);
        keep -= kept;
      }
    }
    cache_.insert(key, bytes);
    return bytes;
  }

 private:
  int add(const QByteArray& bytes) {
    base_.append(bytes);
    writes_.append(QList<Entry>());
    return Count() - 1;
  }

  QList<QByteArray> base_;
  QList<QList<Entry>> writes_;
  QString unknown_;
  QHash<QString, QByteArray> cache_;
};

// The log replayed: after each number of its entries, the names, how far each file's writes and
// flushes had gone, and how many entries the names on the disk take at least.
struct Timeline {
  QList<Names> names;
  QList<QList<Mark>> marks;
  QList<int> durableNames;
  QList<QStringList> reported;

  Timeline(const Folders& before, const Log& log, int files) {
    Names live;
    int file = 0;
    for (auto [folder, content] : before.asKeyValueRange())
      for (const QString& name : content.keys()) live[folder][name] = file++;
    QList<Mark> mark(files);
    int barrier = 0;
    QStringList told;
    auto keep = [&] {
      names.append(live);
      marks.append(mark);
      durableNames.append(barrier);
      reported.append(told);
    };
    keep();
    for (qsizetype i = 0; i < log.size(); ++i) {
      const Entry& e = log[i];
      QMap<QString, int>& in = live[e.folder];
      switch (e.kind) {
        case Kind::Create:
        case Kind::Appears: in[e.name] = e.file; break;
        case Kind::Write: ++mark[e.file].written; break;
        case Kind::FlushFile: mark[e.file].flushed = mark[e.file].written; break;
        case Kind::FlushFileSystem:
          for (Mark& m : mark) m.flushed = m.written;
          barrier = static_cast<int>(i + 1);
          break;
        case Kind::FlushFolder: barrier = static_cast<int>(i + 1); break;
        case Kind::Rename:
        case Kind::RenameNoReplace:
          in.remove(e.name);
          in[e.to] = e.file;
          break;
        case Kind::Link: in[e.to] = e.file; break;
        case Kind::Unlink: in.remove(e.name); break;
        case Kind::Reported: told.append(e.name); break;
      }
      keep();
    }
  }
  int Size() const { return static_cast<int>(names.size()) - 1; }
};

struct Crash {
  int issued = 0;
  int named = 0;
  int file = -1;  // the file given the fate alone; -1: every file with unflushed bytes
  Fate fate = Fate::Kept;

  QString Describe() const {
    return QStringLiteral("a crash after %1 entries, names of %2, %3 %4")
        .arg(issued)
        .arg(named)
        .arg(file < 0 ? QStringLiteral("every unflushed file")
                      : QStringLiteral("file %1").arg(file))
        .arg(QString::fromLatin1(FateWords[int(fate)]));
  }
};

// Calls visit with each crash state of the timeline until it returns false.
void forEachCrash(const Timeline& t, const std::function<bool(const Crash&)>& visit) {
  for (int issued = 0; issued <= t.Size(); ++issued) {
    QList<int> unflushed;
    for (int file = 0; file < t.marks[issued].size(); ++file)
      if (t.marks[issued][file].written > t.marks[issued][file].flushed) unflushed.append(file);
    for (int named = t.durableNames[issued]; named <= issued; ++named) {
      if (!visit({issued, named, -1, Fate::Kept})) return;
      for (Fate fate : {Fate::Lost, Fate::Zeros, Fate::Torn}) {
        if (unflushed.isEmpty()) break;
        if (!visit({issued, named, -1, fate})) return;
        for (int file : unflushed)
          if (unflushed.size() > 1 && !visit({issued, named, file, fate})) return;
      }
    }
  }
}

// The folders a crash leaves, and what tells two such states apart.
Folders materialise(const Timeline& t, Files& files, const Crash& c, QString* key = nullptr) {
  Folders folders;
  for (auto [folder, names] : t.names[c.named].asKeyValueRange()) {
    auto& out = folders[folder];
    for (auto [name, file] : names.asKeyValueRange()) {
      const Mark mark = t.marks[c.issued][file];
      const Fate fate = c.file < 0 || c.file == file ? c.fate : Fate::Kept;
      out.insert(name, files.Bytes(file, mark, fate));
      if (key) {
        const bool settled = mark.written == mark.flushed;
        *key += QStringLiteral("%1%2=%3:%4:%5:%6;")
                    .arg(folder, name)
                    .arg(file)
                    .arg(mark.written)
                    .arg(mark.flushed)
                    .arg(settled ? 0 : int(fate));
      }
    }
  }
  if (key) *key += t.reported[c.issued].join(u',');
  return folders;
}

// ---------------------------------------------------------------------------------------------
// What every state must hold

struct Promise {
  QString source, target;
  Folders before;
  QMap<QString, QByteArray> converted;  // target name -> the run's new bytes
  QMap<QString, QByteArray> appeared;   // name -> bytes another program put there mid-run
};

QString what(const QByteArray& bytes, const Promise& p, const QString& name) {
  if (bytes.isEmpty()) return QStringLiteral("empty");
  if (bytes.count('\0') == bytes.size()) return QStringLiteral("%1 zero bytes").arg(bytes.size());
  const QByteArray fresh = p.converted.value(name);
  if (!fresh.isEmpty() && bytes.size() == fresh.size())
    return QStringLiteral("%1 bytes, a mix of the new image and zeros").arg(bytes.size());
  return QStringLiteral("%1 bytes, neither old nor new").arg(bytes.size());
}

// Why the state breaks a promise; empty when it keeps them all.
QString faultOf(const Folders& state, const QStringList& reported, const Promise& p) {
  const auto target = state.value(p.target);
  const auto before = p.before.value(p.target);
  for (auto [name, bytes] : target.asKeyValueRange()) {
    if (isTemporary(name)) continue;
    const bool allowed = (before.contains(name) && bytes == before[name]) ||
                         (p.converted.contains(name) && bytes == p.converted[name]) ||
                         (p.appeared.contains(name) && bytes == p.appeared[name]);
    if (!allowed) return name + QStringLiteral(" is ") + what(bytes, p, name);
  }
  for (const QString& name : before.keys())
    if (!isTemporary(name) && !target.contains(name)) return name + QStringLiteral(" is gone");
  for (const QString& name : reported) {
    if (target.value(name) != p.converted.value(name))
      return name + QStringLiteral(" was reported converted but is not its new image");
  }
  if (state.value(p.source) != p.before.value(p.source)) return QStringLiteral("a source changed");
  return {};
}

// The first state of the log that breaks a promise, with why; empty when none does. Counts the
// distinct states looked at.
QString firstFault(const Log& log, Files& files, const Promise& p, int* states = nullptr) {
  const Timeline t(p.before, log, files.Count());
  QSet<QString> seen;
  QString fault;
  forEachCrash(t, [&](const Crash& c) {
    QString key;
    const Folders state = materialise(t, files, c, &key);
    if (seen.contains(key)) return true;
    seen.insert(key);
    fault = faultOf(state, t.reported[c.issued], p);
    if (!fault.isEmpty()) fault = c.Describe() + QStringLiteral(": ") + fault;
    return fault.isEmpty();
  });
  if (states) *states = static_cast<int>(seen.size());
  return fault;
}

// The log changed so that it should no longer keep its promises: each flush left out, and each
// placing of a file moved before the flush that put the file's bytes on the disk.
struct Mutation {
  QString name;
  Log log;
};

QList<Mutation> mutationsOf(const Log& log) {
  const Log& resolved = log;
  QList<Mutation> mutations;
  for (qsizetype i = 0; i < resolved.size(); ++i) {
    const Entry& e = resolved[i];
    // A file the log never places guards nothing: the placing it was flushed for was refused (its
    // name was taken meanwhile), which a run can only learn by trying it.
    const bool guardsAPlacing =
        e.kind != Kind::FlushFile ||
        std::any_of(resolved.begin() + i, resolved.end(), [&](const Entry& later) {
          return isPlacing(later.kind) && later.file == e.file;
        });
    bool needed = guardsAPlacing;
#ifdef Q_OS_WIN
    // Each move here is made durable by itself, as the flush after it tells: a move cannot know
    // whether a later one of its group will succeed and make it durable too. Only the last move's
    // is wanted by a report.
    if (e.kind == Kind::FlushFolder && i > 0 && isPlacing(resolved[i - 1].kind)) {
      for (qsizetype j = i + 1; j < resolved.size() && resolved[j].kind != Kind::Reported; ++j)
        needed = needed && resolved[j].kind != Kind::FlushFolder;
    }
#endif
    if (isFlush(e.kind) && needed) {
      Log without = log;
      without.removeAt(i);
      mutations.append({QStringLiteral("without %1 (entry %2)").arg(describe(e)).arg(i), without});
    }
    if (!isPlacing(e.kind)) continue;
    for (qsizetype j = i - 1; j >= 0; --j) {
      const Entry& flush = resolved[j];
      if (flush.kind != Kind::FlushFileSystem &&
          !(flush.kind == Kind::FlushFile && flush.file == e.file))
        continue;
      Log moved = log;
      moved.move(i, j);
      mutations.append({QStringLiteral("%1 (entry %2) before %3 (entry %4)")
                            .arg(describe(e))
                            .arg(i)
                            .arg(describe(flush))
                            .arg(j),
                        moved});
      break;
    }
  }
  return mutations;
}

// ---------------------------------------------------------------------------------------------
// The runs

enum class FrontEnd { Window, CommandLine };
enum class Event {
  None,
  Stop,         // the window closed, confirmed, as the second image is written; c on the terminal
  NameAppears,  // another program puts a file at d.BIN's name as d is written
};

// Typed answers on a terminal of the test's own, in place of standard input while it lives.
class TypedAnswers {
 public:
  explicit TypedAnswers(const QByteArray& lines) {
#ifdef Q_OS_UNIX
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const int terminal = ::open(ptsname(master_), O_RDWR | O_NOCTTY);
    if (terminal < 0) return;
    termios mode{};
    tcgetattr(terminal, &mode);
    mode.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(terminal, TCSANOW, &mode);
    saved_ = ::dup(STDIN_FILENO);
    ::dup2(terminal, STDIN_FILENO);
    ::close(terminal);
    std::clearerr(stdin);
    ready_ = ::write(master_, lines.constData(), size_t(lines.size())) == lines.size();
#else
    Q_UNUSED(lines);
#endif
  }
  ~TypedAnswers() {
#ifdef Q_OS_UNIX
    if (saved_ >= 0) {
      ::dup2(saved_, STDIN_FILENO);
      ::close(saved_);
      std::clearerr(stdin);
    }
    if (master_ >= 0) ::close(master_);
#endif
  }
  bool Ready() const {
    return ready_;
  }

 private:
  int master_ = -1;
  int saved_ = -1;
  bool ready_ = false;
};

// The command line's standard output, each line handed over as it is written; where the C
// library cannot redirect a stream to a function, nothing is caught.
class CaughtOutput {
 public:
  explicit CaughtOutput(std::function<void(const QByteArray&)> line) : line_(std::move(line)) {
#ifdef __GLIBC__
    cookie_io_functions_t io{};
    io.write = [](void* self, const char* data, size_t size) -> ssize_t {
      auto* caught = static_cast<CaughtOutput*>(self);
      caught->pending_.append(data, qsizetype(size));
      for (qsizetype end; (end = caught->pending_.indexOf('\n')) >= 0;) {
        caught->line_(caught->pending_.left(end));
        caught->pending_.remove(0, end + 1);
      }
      return ssize_t(size);
    };
    if (FILE* stream = fopencookie(this, "w", io)) {
      saved_ = stdout;
      stdout = stream;
    }
#endif
  }
  ~CaughtOutput() {
#ifdef __GLIBC__
    if (saved_) {
      std::fclose(stdout);
      stdout = saved_;
    }
#endif
  }
  bool Catching() const {
    return saved_ != nullptr;
  }

 private:
  std::function<void(const QByteArray&)> line_;
  QByteArray pending_;
  FILE* saved_ = nullptr;
};

QString scratchParent() {
#ifdef Q_OS_LINUX
  // Memory, not the shared disk: every state is written out and run over.
  if (QFileInfo(QStringLiteral("/dev/shm")).isWritable()) return QStringLiteral("/dev/shm/");
#endif
  return QDir::tempPath() + u'/';
}

// Images told apart by a byte of their first bank, and a file of no image's length.
QMap<QString, QByteArray> sourceFiles() {
  QMap<QString, QByteArray> files;
  for (char letter : {'a', 'b', 'c', 'd'}) {
    files.insert(QStringLiteral("%1.BIN").arg(letter),
                 With(Image88K(Bank1(32 * 1024), Bank8()), 4096, QByteArray(16, letter)));
  }
  files.insert(QStringLiteral("e.BIN"), "not an image");
  return files;
}

// A killed run's leftover, a file of the user's own, and old targets of b and c.
QMap<QString, QByteArray> targetFiles() {
  return {{QStringLiteral(".~quillet-Lft0v3.tmp"), "left by a killed run"},
          {QStringLiteral("notes.txt"), "the user's own"},
          {QStringLiteral("b.BIN"), "old b"},
          {QStringLiteral("c.BIN"), "old c"}};
}

const QByteArray OtherProgram = "put here by another program";

void putFiles(const QString& folder, const QMap<QString, QByteArray>& files) {
  QDir().mkpath(folder);
  for (auto [name, bytes] : files.asKeyValueRange()) {
    WriteFile(folder + name, bytes);
    if (name.startsWith(u'.')) Hide(folder + name);
  }
}

QString settingsKey(const ConversionSettingsRecord& s) {
  return QStringList{s.SourceExt,
                     s.TargetExt,
                     s.OutOrder,
                     QString::number(s.Bank1Only),
                     QString::number(s.Limit32K),
                     QString::number(s.PadSize),
                     QString::number(s.PadType),
                     s.PadValue}
      .join(u'|');
}

// A run with its own front end, touching no state of the process.
RecordingFrontEnd runInto(const ConversionSettingsRecord& settings) {
  QStringList names;
  QList<NativeFile::FolderEntry> passedOver;
  ListSourceFolder(settings.Source, settings.SourceExt, &names, &passedOver);
  RecordingFrontEnd frontEnd;
  BatchRun(frontEnd, {}, settings, names, passedOver).Go();
  return frontEnd;
}

// The targets the sources become under these settings, by name.
QMap<QString, QByteArray> newImages(const ConversionSettingsRecord& settings) {
  static QMap<QString, QMap<QString, QByteArray>> known;
  const QString key = settingsKey(settings);
  if (!known.contains(key)) {
    QTemporaryDir dir(scratchParent() + QStringLiteral("quillet-images-XXXXXX"));
    ConversionSettingsRecord s = settings;
    s.Source = dir.path() + QStringLiteral("/src/");
    s.Target = dir.path() + QStringLiteral("/dst/");
    s.Overwrite = AlwaysOverwrite;
    putFiles(s.Source, sourceFiles());
    QDir().mkpath(s.Target);
    runInto(s);
    known.insert(key, RunFixture::snapshot(s.Target));
  }
  return known[key];
}

// A state written out, and a next run over it under "never": it must remove the crashed run's
// temporary files, keep every other file, write the targets that are missing, and place none of
// the leftovers at a target's name. Why it did not; empty when it did.
QString nextRunFault(const QMap<QString, QByteArray>& state,
                     const ConversionSettingsRecord& settings) {
  QTemporaryDir dir(scratchParent() + QStringLiteral("quillet-next-XXXXXX"));
  ConversionSettingsRecord s = settings;
  s.Source = dir.path() + QStringLiteral("/src/");
  s.Target = dir.path() + QStringLiteral("/dst/");
  s.Overwrite = NeverOverwrite;
  putFiles(s.Source, sourceFiles());
  putFiles(s.Target, state);
  DiskRecorder next;
  runInto(s);
  QSet<QString> made;
  for (const DiskRecorder::Record& r : next.Records()) {
    if (r.error != 0) continue;
    if (r.change == Change::Create) made.insert(r.name);
    const bool placing = r.change == Change::Rename || r.change == Change::RenameNoReplace ||
                         r.change == Change::Link;
    if (placing && !made.contains(r.name)) return r.name + QStringLiteral(" was taken for ") + r.to;
    if (r.change == Change::Unlink && !made.contains(r.name) &&
        !(isTemporary(r.name) && state.contains(r.name)))
      return QStringLiteral("the next run removed ") + r.name;
  }
  QMap<QString, QByteArray> expected;
  for (auto [name, bytes] : state.asKeyValueRange())
    if (!isTemporary(name)) expected.insert(name, bytes);
  for (auto [name, bytes] : newImages(s).asKeyValueRange())
    if (!expected.contains(name)) expected.insert(name, bytes);
  const auto after = RunFixture::snapshot(s.Target);
  if (after == expected) return {};
  QStringList differ;
  for (const QString& name : after.keys() + expected.keys())
    if (after.value(name) != expected.value(name) && !differ.contains(name)) differ.append(name);
  return QStringLiteral("after the next run: ") + differ.join(QStringLiteral(", "));
}

// clang-format off
struct Row {
  const char* name;
  FrontEnd frontEnd;
  quint8 overwrite;
  Event event;
  bool direct;       // the file system takes writes that bypass the cache
  bool asWhole;      // written files are flushed with one flush of the file system
  bool noReplace;    // the file system renames without replacing; else a link and an unlink
  const char* answers;    // to the overwrite questions: y, n or c for each
  const char* converted;  // the targets the run converts
};
const Row rows[] = {
    {"window, always", FrontEnd::Window, AlwaysOverwrite, Event::None, true, true, true, "", "a b c d"},
    {"window, always, flushed file by file through the cache", FrontEnd::Window, AlwaysOverwrite, Event::None, false, false, true, "", "a b c d"},
    {"window, never", FrontEnd::Window, NeverOverwrite, Event::None, false, true, true, "", "a d"},
    {"window, ask: yes, then no", FrontEnd::Window, AskToOverwrite, Event::None, true, false, true, "yn", "a b d"},
    {"window, a confirmed close stops the run", FrontEnd::Window, AlwaysOverwrite, Event::Stop, false, true, true, "", "a b c"},
    {"window, a name that appears mid-run is kept", FrontEnd::Window, NeverOverwrite, Event::NameAppears, true, false, true, "", "a"},
    {"window, never, placed by a link and an unlink", FrontEnd::Window, NeverOverwrite, Event::None, false, false, false, "", "a d"},
    {"command line, always", FrontEnd::CommandLine, AlwaysOverwrite, Event::None, true, true, true, "", "a b c d"},
    {"command line, never, flushed file by file through the cache, placed by links", FrontEnd::CommandLine, NeverOverwrite, Event::None, false, false, false, "", "a d"},
    {"command line, a name that appears mid-run is kept", FrontEnd::CommandLine, AlwaysOverwrite, Event::NameAppears, true, true, true, "", "a b c"},
    {"command line, ask: yes, then no", FrontEnd::CommandLine, AskToOverwrite, Event::None, false, true, true, "yn", "a b d"},
    {"command line, ask: c stops the run", FrontEnd::CommandLine, AskToOverwrite, Event::Stop, true, false, true, "yc", "a b"},
};
// clang-format on

}  // namespace

class CrashStatesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() { flushClosedWindows(); }

  void everyCrashStateKeepsThePromises_data() { addRows(rows); }
  void everyCrashStateKeepsThePromises() {
    QFETCH(int, row);
    const Row& r = rows[row];
#ifdef Q_OS_WIN
    if (!r.noReplace) QSKIP("every move that replaces nothing is a no-replace rename here");
#endif
    QTemporaryDir dir(scratchParent() + QStringLiteral("quillet-crash-XXXXXX"));
    const QString source = dir.path() + QStringLiteral("/src/");
    const QString target = dir.path() + QStringLiteral("/dst/");
    putFiles(source, sourceFiles());
    putFiles(target, targetFiles());
    Promise p;
    p.source = folderKey(source);
    p.target = folderKey(target);
    p.before.insert(p.source, RunFixture::snapshot(source));
    p.before.insert(p.target, RunFixture::snapshot(target));

    Log log;
    ConversionSettingsRecord settings;
    QStringList reported;
    bool toldAtTheEnd = false;
    {
      RunRecorder disk;
      disk.writesDirect = r.direct;
      disk.flushesAsWhole = r.asWhole;
      disk.unwrittenBytes = 0;
      if (!r.noReplace) disk.Fail(Change::RenameNoReplace, EINVAL, 1000);
      // Both front ends' runs keep the index of the file being converted: d's is 3, b's 1.
      disk.beforeCreate = [&] {
        if (r.event == Event::NameAppears && FileIndex == 3 && p.appeared.isEmpty()) {
          WriteFile(target + QStringLiteral("d.BIN"), OtherProgram);
          disk.Note({Kind::Appears, p.target, QStringLiteral("d.BIN"), {}, 0, OtherProgram});
          p.appeared.insert(QStringLiteral("d.BIN"), OtherProgram);
        }
        if (r.event == Event::Stop && r.frontEnd == FrontEnd::Window && FileIndex == 1)
          QMetaObject::invokeMethod(Forms::frmProcess.loaded(), "close", Qt::QueuedConnection);
      };
      auto report = [&](const QString& name) {
        reported.append(name);
        disk.Note({Kind::Reported, p.target, name});
      };
      if (r.frontEnd == FrontEnd::Window) {
        RunFixture f;
        f.setFolders(source, target);
        ConversionSettings.Overwrite = r.overwrite;
        for (const char* a = r.answers; *a; ++a)
          f.messages.queue(*a == 'y'   ? Toolkit::Answer::Yes
                           : *a == 'n' ? Toolkit::Answer::No
                                       : Toolkit::Answer::Cancel);
        ImageListModel* images = f.main()->Images;
        auto noteReports = [&] {
          for (int i = 0; i < images->Files(); ++i) {
            const auto& outcome = images->RowAt(i).outcome;
            if (outcome && outcome->outcome == FileOutcome::Converted &&
                !reported.contains(outcome->targetName))
              report(outcome->targetName);
          }
        };
        QObject::connect(images, &QAbstractItemModel::dataChanged, images, noteReports);
        QObject::connect(images, &QAbstractItemModel::rowsInserted, images, noteReports);
        f.reorder();
        settings = ConversionSettings;
      } else {
        TemporarySettingsStore store;
        ResetGlobals();
        QByteArray typed;
        for (const char* a = r.answers; *a; ++a) typed += QByteArray(1, *a) + '\n';
        TypedAnswers answers(typed);
        if (r.overwrite == AskToOverwrite && !answers.Ready())
          QSKIP("no terminal to answer the overwrite question on");
        const char* policies[] = {"never", "always", "ask"};
        Options options;
        QVERIFY(options.parse({QStringLiteral("quillet-cli"), QStringLiteral("convert"),
                               QStringLiteral("--no-settings"), QStringLiteral("--json"),
                               QStringLiteral("--quiet"), QStringLiteral("--overwrite"),
                               QString::fromLatin1(policies[r.overwrite]), source, target}));
        {
          CaughtOutput out([&](const QByteArray& line) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value(QStringLiteral("outcome")) == QStringLiteral("converted"))
              report(o.value(QStringLiteral("target")).toString());
          });
          toldAtTheEnd = !out.Catching();
          RunConvert(options);
        }
        settings = ConversionSettings;
        ResetGlobals();
      }
      log = disk.TakeLog();
      if (!r.direct) {
        for (const DiskRecorder::Record& record : disk.Records())
          QVERIFY2(!record.direct, "a file system without direct writes took one");
      }
    }

    // Without its lines, the command line tells what it converted once it has ended.
    const QMap<QString, QByteArray> fresh = newImages(settings);
    if (toldAtTheEnd) {
      const auto after = RunFixture::snapshot(target);
      for (auto [name, bytes] : fresh.asKeyValueRange()) {
        if (after.value(name) != bytes) continue;
        reported.append(name);
        log.append({Kind::Reported, p.target, name});
      }
    }

    // The run did what the row is about, and the log replayed in full is the folder it left.
    QStringList converted;
    for (const QString& name : QString::fromLatin1(r.converted).split(u' ')) {
      converted.append(name + QStringLiteral(".BIN"));
      p.converted.insert(converted.last(), fresh.value(converted.last()));
    }
    QCOMPARE(reported, converted);
    Files files(p.before, log);
    QCOMPARE(files.Unknown(), QString());
    const Timeline t(p.before, log, files.Count());
    const Folders end = materialise(t, files, {t.Size(), t.Size()});
    QCOMPARE(end.value(p.target), RunFixture::snapshot(target));
    QCOMPARE(end.value(p.source), p.before.value(p.source));

    int states = 0;
    const QString fault = firstFault(log, files, p, &states);
    QStringList told;
    for (const Entry& e : log) told.append(describe(e));
    QVERIFY2(fault.isEmpty(),
             qPrintable(fault + QStringLiteral("\nthe log: ") + told.join(QStringLiteral(" | "))));
    statesChecked += states;

    // Every target folder a crash leaves, written out and run over; a next run under "never"
    // reads no target and no temporary file, so only the names tell two folders apart for it.
    {
      static QSet<QString> runOver;
      QString nextFault;
      forEachCrash(t, [&](const Crash& c) {
        const auto state = materialise(t, files, c).value(p.target);
        QString key = settingsKey(settings);
        for (const QString& name : state.keys())
          key += (isTemporary(name) ? QStringLiteral("~") : name) + u';';
        if (runOver.contains(key)) return true;
        runOver.insert(key);
        nextFault = nextRunFault(state, settings);
        if (!nextFault.isEmpty()) nextFault = c.Describe() + QStringLiteral(": ") + nextFault;
        return nextFault.isEmpty();
      });
      QVERIFY2(nextFault.isEmpty(), qPrintable(nextFault));
    }

    QStringList missed;
    for (const Mutation& m : mutationsOf(log)) {
      ++mutationsMade;
      if (firstFault(m.log, files, p).isEmpty())
        missed.append(m.name);
      else
        ++mutationsCaught;
    }
    QVERIFY2(missed.isEmpty(),
             qPrintable(QStringLiteral("no state fails ") + missed.join(QStringLiteral("; "))));
  }
};

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  CrashStatesTest test;
  const int failed = QTest::qExec(&test, argc, argv);
  std::printf("%d crash states checked, %d of %d log mutations caught\n", statesChecked,
              mutationsCaught, mutationsMade);
  return failed;
}

#include "test_crash_states.moc"
