// What a crash part way through a run may leave on the disk. Each row logs every change a real
// run makes (the window's or the command line's), builds from the log every state a crash may
// leave, and holds each to the run's promises: every target old, whole new or absent, sources
// untouched, every target reported converted there in full, and a next run that clears the
// leftovers and takes none of them for a target.
//
// The crash model allows every state ext4 (ordered), XFS and NTFS may leave:
// - A crash comes after any number of the log's entries ("issued"); only different files are
//   named by two threads at once, whose order no promise needs.
// - Names reach the disk in the order they were made: all before the last flush of the folder or
//   the file system, and any number of the later ones ("named"). A file's flush makes no name
//   durable.
// - A file's flush puts its bytes and length on the disk, the file system's every file's. Bytes
//   written since a file's last flush are kept, lost, zeros or torn (first half kept); a state
//   gives every such file one fate, or one of them a fate and the rest kept. Direct writes have
//   their blocks on the disk, their length not until a flush.
//
// The test proves it bites: with any one flush left out, or any rename or link moved before the
// flush before it, some state must fail.
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "batch/BatchRun.h"
#include "batch/ImageList.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "settings/modGlobals.h"
#include "tests/support/DiskRecorder.h"
#include "tests/support/RecordingFrontEnd.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"
#include "ui/frmProcess.h"
#include "ui/frm_Main.h"

using namespace Qt::StringLiterals;
using namespace ImageBuilder;
using NativeFile::Change;
using Toolkit::Answer;
using Files = QMap<QString, QByteArray>;  // name -> bytes

namespace {

bool isTemporary(const QString& name) {
  return name.startsWith(u".~quillet-"_s);
}

// The file layer's changes, then the test's notes: another program put a file with data at name;
// the run told the user the target name was converted.
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
  Appears,
  Reported
};
static_assert(int(Kind::FlushFolder) == int(Change::FlushFolder));

struct Entry {
  Kind kind = Kind::Create;
  QString folder{}, name{}, to{};
  qint64 offset = 0;
  QByteArray data{};
  int file = -1;  // the file acted on, as the log's first replay resolved it
};
using Log = QList<Entry>;

bool isPlacing(Kind kind) {
  return kind == Kind::Rename || kind == Kind::RenameNoReplace || kind == Kind::Link;
}

QString describe(const Entry& e) {
  static const char* const words[] = {
      "create", "write",  "flush file",   "flush file system", "rename",  "rename (no replace)",
      "link",   "unlink", "flush folder", "appears",           "reported"};
  return QString::fromLatin1(words[int(e.kind)]) + (e.name.isEmpty() ? QString() : u' ' + e.name) +
         (e.to.isEmpty() ? QString() : u" -> "_s + e.to);
}

// A disk recorder that logs the changes made (failed ones changed nothing) with the test's notes
// at their place among them, and lets a row act as a new file is about to be made.
class RunRecorder : public DiskRecorder {
 public:
  std::function<void()> beforeCreate;
  Log log;

  int Before(const NativeFile::Operation& o) override {
    if (o.change == Change::Create && beforeCreate) beforeCreate();
    return DiskRecorder::Before(o);
  }
  void After(const NativeFile::Operation& o, int error) override {
    DiskRecorder::After(o, error);
    if (error == 0)
      Note({Kind(o.change), QDir::cleanPath(o.folder), o.name, o.to, o.offset,
            o.data.toByteArray()});
  }
  void Note(Entry entry) {
    QMutexLocker locked(&lock_);
    log.append(std::move(entry));
  }

 private:
  QMutex lock_;
};

using Folders = QMap<QString, Files>;
using Names = QMap<QString, QMap<QString, int>>;  // folder -> name -> file
enum class Fate : quint8 { Kept, Lost, Zeros, Torn };

// How many of a file's writes were made, and how many of them a flush put on the disk.
struct Mark {
  int written = 0, flushed = 0;
};

// The log replayed over the folders before the run, the state after each number of entries. The
// first replay ties each entry to its file, so that a log changed afterwards acts on the same
// files.
struct Timeline {
  QList<QByteArray> base;
  QList<Log> writes;
  QList<Names> names;
  QList<QList<Mark>> marks;
  QList<int> durable;
  QList<QStringList> reported;
  QString unknown;  // entries naming no file the folders or the log had: the log is not whole

  Timeline(const Folders& before, Log& log) {
    Names live;
    QList<Mark> mark;
    int barrier = 0;
    QStringList told;
    auto add = [&](const QByteArray& bytes) {
      base.append(bytes);
      writes.append(Log());
      mark.append(Mark());
      return int(base.size() - 1);
    };
    for (auto [folder, files] : before.asKeyValueRange())
      for (auto [name, bytes] : files.asKeyValueRange()) live[folder][name] = add(bytes);
    for (qsizetype i = 0;; ++i) {
      names.append(live);
      marks.append(mark);
      durable.append(barrier);
      reported.append(told);
      if (i == log.size()) break;
      Entry& e = log[i];
      QMap<QString, int>& in = live[e.folder];
      const bool onAFile = e.kind != Kind::FlushFileSystem && e.kind != Kind::FlushFolder &&
                           e.kind != Kind::Reported;
      if (e.kind == Kind::Create || e.kind == Kind::Appears)
        e.file = add(e.data);
      else if (onAFile && e.file < 0)
        e.file = in.value(e.name, -1);
      if (onAFile && e.file < 0) {
        unknown += describe(e) + u';';
        continue;
      }
      switch (e.kind) {
        case Kind::Create:
        case Kind::Appears: in[e.name] = e.file; break;
        case Kind::Write:
          writes[e.file].append(e);
          ++mark[e.file].written;
          break;
        case Kind::FlushFile: mark[e.file].flushed = mark[e.file].written; break;
        case Kind::FlushFileSystem:
          for (Mark& m : mark) m.flushed = m.written;
          [[fallthrough]];
        case Kind::FlushFolder: barrier = int(i + 1); break;
        case Kind::Rename:
        case Kind::RenameNoReplace: in.remove(e.name); [[fallthrough]];
        case Kind::Link: in[e.to] = e.file; break;
        case Kind::Unlink: in.remove(e.name); break;
        case Kind::Reported: told.append(e.name); break;
      }
    }
  }

  // The file's bytes at the mark, those written since its last flush given the fate.
  QByteArray bytes(int file, Mark m, Fate fate) const {
    QByteArray out = base[file];
    qint64 keep = 0;
    for (int i = m.flushed; i < m.written; ++i) keep += writes[file][i].data.size();
    keep = fate == Fate::Kept ? keep : fate == Fate::Torn ? keep / 2 : 0;
    for (int i = 0; i < (fate == Fate::Lost ? m.flushed : m.written); ++i) {
      const Entry& w = writes[file][i];
      const qint64 kept = i < m.flushed ? w.data.size() : std::min<qint64>(keep, w.data.size());
      if (i >= m.flushed) keep -= kept;
      const qint64 end = w.offset + w.data.size();
      if (out.size() < end) out.append(end - out.size(), '\0');
      std::copy_n(w.data.begin(), kept, out.begin() + w.offset);
      std::fill(out.begin() + w.offset + kept, out.begin() + end, '\0');
    }
    return out;
  }
};

struct Crash {
  int issued = 0, named = 0;
  int file = -1;  // the one file given the fate; -1: every file with unflushed bytes
  Fate fate = Fate::Kept;

  QString describe() const {
    static const char* const fates[] = {"kept", "lost", "zeros", "torn"};
    const QString who = file < 0 ? u"every unflushed file"_s : QString::number(file);
    return u"a crash after %1 entries, names of %2, %3 %4"_s.arg(
        QString::number(issued), QString::number(named), who, QLatin1String(fates[int(fate)]));
  }
};

QList<Crash> crashesOf(const Timeline& t) {
  QList<Crash> crashes;
  for (int issued = 0; issued < t.names.size(); ++issued) {
    QList<int> fated;  // -1: every unflushed file, then each alone when there are more
    for (int file = 0; file < t.marks[issued].size(); ++file)
      if (t.marks[issued][file].written > t.marks[issued][file].flushed) fated.append(file);
    if (!fated.isEmpty()) fated.insert(0, -1);
    if (fated.size() == 2) fated.removeLast();
    for (int named = t.durable[issued]; named <= issued; ++named) {
      crashes.append({issued, named, -1, Fate::Kept});
      for (Fate fate : {Fate::Lost, Fate::Zeros, Fate::Torn})
        for (int file : fated) crashes.append({issued, named, file, fate});
    }
  }
  return crashes;
}

// The folders a crash leaves; with key, only what tells two such states apart.
Folders materialise(const Timeline& t, const Crash& c, QString* key = nullptr) {
  Folders folders;
  for (auto [folder, names] : t.names[c.named].asKeyValueRange()) {
    for (auto [name, file] : names.asKeyValueRange()) {
      const Mark m = t.marks[c.issued][file];
      const bool fated = m.written > m.flushed && (c.file < 0 || c.file == file);
      const Fate fate = fated ? c.fate : Fate::Kept;
      if (key)
        *key += u"%1%2=%3:%4:%5:%6;"_s.arg(folder, name)
                    .arg(file)
                    .arg(m.written)
                    .arg(m.flushed)
                    .arg(int(fate));
      else
        folders[folder].insert(name, t.bytes(file, m, fate));
    }
  }
  if (key) *key += t.reported[c.issued].join(u',');
  return folders;
}

struct Promise {
  QString source{}, target{};
  Folders before{};
  Files converted{};  // target name -> its new image
  Files appeared{};   // name -> the bytes another program put there mid-run
};

// Why the state breaks a promise; empty when it keeps them all.
QString faultOf(const Folders& state, const QStringList& reported, const Promise& p) {
  const Files target = state.value(p.target), before = p.before.value(p.target);
  for (auto [name, bytes] : target.asKeyValueRange()) {
    auto holds = [&](const Files& files) { return files.contains(name) && files[name] == bytes; };
    if (!isTemporary(name) && !holds(before) && !holds(p.converted) && !holds(p.appeared))
      return u"%1 is %2 bytes, neither old nor new"_s.arg(name).arg(bytes.size());
  }
  for (const QString& name : before.keys())
    if (!isTemporary(name) && !target.contains(name)) return name + u" is gone"_s;
  for (const QString& name : reported)
    if (target.value(name) != p.converted.value(name))
      return name + u" was reported converted but is not its new image"_s;
  if (state.value(p.source) != p.before.value(p.source)) return u"a source changed"_s;
  return {};
}

// The first state that breaks a promise, with why; empty when none does.
QString firstFault(const Timeline& t, const Promise& p) {
  QSet<QString> seen;
  for (const Crash& c : crashesOf(t)) {
    QString key;
    materialise(t, c, &key);
    if (seen.contains(key)) continue;
    seen.insert(key);
    const QString fault = faultOf(materialise(t, c), t.reported[c.issued], p);
    if (!fault.isEmpty()) return c.describe() + u": "_s + fault;
  }
  return {};
}

// The log changed so that it should break a promise: each flush left out, and each placing of a
// file moved before the flush before it. The changes no state fails, or the log itself where it
// gave nothing to change.
QStringList uncaughtMutations(const Log& log, const Promise& p) {
  QStringList missed;
  int made = 0;
  auto check = [&](const QString& what, Log changed) {
    ++made;
    if (firstFault(Timeline(p.before, changed), p).isEmpty()) missed.append(what);
  };
  for (qsizetype i = 0; i < log.size(); ++i) {
    const Entry& e = log[i];
    // A flushed file the log never places guards nothing: its placing was refused (its name was
    // taken meanwhile), which a run can only learn by trying it.
    bool needed = e.kind != Kind::FlushFile ||
                  std::any_of(log.begin() + i, log.end(),
                              [&](auto& l) { return isPlacing(l.kind) && l.file == e.file; });
#ifdef Q_OS_WIN
    // Each move here is made durable by itself, as the flush after it tells: a move cannot know
    // whether a later one of its group will succeed and make it durable too. Only the last move's
    // is wanted by a report.
    if (e.kind == Kind::FlushFolder && i > 0 && isPlacing(log[i - 1].kind)) {
      for (qsizetype j = i + 1; j < log.size() && log[j].kind != Kind::Reported; ++j)
        needed = needed && log[j].kind != Kind::FlushFolder;
    }
#endif
    if (needed && (e.kind == Kind::FlushFile || e.kind == Kind::FlushFileSystem ||
                   e.kind == Kind::FlushFolder)) {
      Log without = log;
      without.removeAt(i);
      check(u"without %1 (entry %2)"_s.arg(describe(e)).arg(i), without);
    }
    for (qsizetype j = i - 1; isPlacing(e.kind) && j >= 0; --j) {
      const Entry& flush = log[j];
      if (flush.kind != Kind::FlushFileSystem &&
          (flush.kind != Kind::FlushFile || flush.file != e.file))
        continue;
      Log moved = log;
      moved.move(i, j);
      check(u"%1 (entry %2) before %3 (entry %4)"_s.arg(describe(e))
                .arg(i)
                .arg(describe(flush))
                .arg(j),
            moved);
      break;
    }
  }
  if (made == 0) missed.append(u"the log, which has no flush to leave out"_s);
  return missed;
}

// The command line's standard output, each line handed over as it is written; where the C
// library cannot redirect a stream to a function, nothing is caught.
struct CaughtOutput {
  std::function<void(const QByteArray&)> line;
  QByteArray pending{};
  FILE* saved = nullptr;

  explicit CaughtOutput(std::function<void(const QByteArray&)> each) : line(std::move(each)) {
#ifdef __GLIBC__
    cookie_io_functions_t io{};
    io.write = [](void* self, const char* data, size_t size) -> ssize_t {
      auto* caught = static_cast<CaughtOutput*>(self);
      caught->pending.append(data, qsizetype(size));
      for (qsizetype end; (end = caught->pending.indexOf('\n')) >= 0;) {
        caught->line(caught->pending.left(end));
        caught->pending.remove(0, end + 1);
      }
      return ssize_t(size);
    };
    if (FILE* stream = fopencookie(this, "w", io)) saved = std::exchange(stdout, stream);
#endif
  }
  ~CaughtOutput() {
#ifdef __GLIBC__
    if (saved) std::fclose(std::exchange(stdout, saved));
#endif
  }
};

// A folder in memory where there is one: every state is written out and run over.
QString scratch(const char* what) {
  QString parent = QDir::tempPath() + u'/';
#ifdef Q_OS_LINUX
  if (QFileInfo(u"/dev/shm"_s).isWritable()) parent = u"/dev/shm/"_s;
#endif
  return parent + u"quillet-%1-XXXXXX"_s.arg(QLatin1String(what));
}

// Images told apart by a byte of their first bank, and a file of no image's length.
Files sourceFiles() {
  Files files{{u"e.BIN"_s, "not an image"}};
  for (char letter : {'a', 'b', 'c', 'd'})
    files.insert(u"%1.BIN"_s.arg(letter),
                 With(Image88K(Bank1(32 * 1024), Bank8()), 4096, QByteArray(16, letter)));
  return files;
}

// A killed run's leftover, a file of the user's own, and old targets of b and c.
const Files TargetFiles{{u".~quillet-Lft0v3.tmp~"_s, "left by a killed run"},
                        {u"notes.txt"_s, "the user's own"},
                        {u"b.BIN"_s, "old b"},
                        {u"c.BIN"_s, "old c"}};
const QByteArray OtherProgram = "put here by another program";

ConversionSettingsRecord inFolders(ConversionSettingsRecord s, const QTemporaryDir& dir,
                                   quint8 overwrite, const Files& targets) {
  s.Source = dir.path() + u"/src/"_s;
  s.Target = dir.path() + u"/dst/"_s;
  s.Overwrite = overwrite;
  for (auto [folder, files] : {std::pair(s.Source, sourceFiles()), std::pair(s.Target, targets)}) {
    QDir().mkpath(folder);
    for (auto [name, bytes] : files.asKeyValueRange()) {
      WriteFile(folder + name, bytes);
      if (name.startsWith(u'.')) Hide(folder + name);
    }
  }
  return s;
}

// A run touching no state of the process; what it left in the target.
Files runOver(const ConversionSettingsRecord& s) {
  RecordingFrontEnd().runOver(s);
  return RunFixture::snapshot(s.Target);
}

// A state written out, and a next run over it under "never": it must remove the crashed run's
// temporary files, keep every other file, write the new images that are missing, and place none
// of the leftovers at a target's name. Why it did not; empty when it did.
QString nextRunFault(const Files& state, const ConversionSettingsRecord& settings,
                     const Files& fresh) {
  QTemporaryDir dir(scratch("next"));
  const ConversionSettingsRecord s = inFolders(settings, dir, NeverOverwrite, state);
  DiskRecorder next;
  const Files after = runOver(s);
  QSet<QString> made;
  for (const DiskRecorder::Record& r : next.Records()) {
    if (r.error != 0) continue;
    if (r.change == Change::Create) made.insert(r.name);
    if (isPlacing(Kind(r.change)) && !made.contains(r.name))
      return r.name + u" was taken for "_s + r.to;
    if (r.change == Change::Unlink && !made.contains(r.name) &&
        !(isTemporary(r.name) && state.contains(r.name)))
      return u"the next run removed "_s + r.name;
  }
  Files expected = fresh;
  for (auto [name, bytes] : state.asKeyValueRange())
    if (!isTemporary(name)) expected.insert(name, bytes);
  return after == expected ? QString() : u"after it: "_s + after.keys().join(u',');
}

enum class FrontEnd { Window, CommandLine };
enum class Event {
  None,
  Stop,              // the window closed, confirmed, as the second image is written
  NameAppears,       // another program puts a file at d.BIN's name as d is written
  OthersWrittenOut,  // others' gigabytes waiting at the start reach the disk as b is written
};

// clang-format off
// The front end, the overwrite policy and what happens mid-run; whether the file system takes
// writes that bypass the cache (direct), flushes written files with one flush of the file system
// (asWhole) and renames without replacing (noReplace: else placed by a link and an unlink, or with
// no links either by a rename once the name was seen free); the answers to the overwrite questions
// (y, n or c each), and the targets the run converts.
struct Row { const char* name; FrontEnd frontEnd; quint8 overwrite; Event event; bool direct, asWhole, noReplace; const char *answers, *converted; bool links = true; };
const Row rows[] = {
    {"window, always", FrontEnd::Window, AlwaysOverwrite, Event::None, true, true, true, "", "a.BIN b.BIN c.BIN d.BIN"},
    {"window, always, others' bytes written out mid-run: bypassing the cache, flushed as a whole", FrontEnd::Window, AlwaysOverwrite, Event::OthersWrittenOut, true, true, true, "", "a.BIN b.BIN c.BIN d.BIN"},
    {"window, always, flushed file by file through the cache", FrontEnd::Window, AlwaysOverwrite, Event::None, false, false, true, "", "a.BIN b.BIN c.BIN d.BIN"},
    {"window, never", FrontEnd::Window, NeverOverwrite, Event::None, false, true, true, "", "a.BIN d.BIN"},
    {"window, ask: yes, then no", FrontEnd::Window, AskToOverwrite, Event::None, true, false, true, "yn", "a.BIN b.BIN d.BIN"},
    {"window, a confirmed close stops the run", FrontEnd::Window, AlwaysOverwrite, Event::Stop, false, true, true, "", "a.BIN b.BIN c.BIN"},
    {"window, a name that appears mid-run is kept", FrontEnd::Window, NeverOverwrite, Event::NameAppears, true, false, true, "", "a.BIN"},
    {"window, never, placed by a link and an unlink", FrontEnd::Window, NeverOverwrite, Event::None, false, false, false, "", "a.BIN d.BIN"},
    {"command line, always", FrontEnd::CommandLine, AlwaysOverwrite, Event::None, true, true, true, "", "a.BIN b.BIN c.BIN d.BIN"},
    {"command line, never, flushed file by file through the cache, placed by links", FrontEnd::CommandLine, NeverOverwrite, Event::None, false, false, false, "", "a.BIN d.BIN"},
    {"command line, a name that appears mid-run is kept", FrontEnd::CommandLine, AlwaysOverwrite, Event::NameAppears, true, true, true, "", "a.BIN b.BIN c.BIN"},
    {"window, a name that appears mid-run is kept, with neither one-step renames nor links", FrontEnd::Window, NeverOverwrite, Event::NameAppears, false, false, false, "", "a.BIN", false},
    {"window, ask: yes, then no, flushed as a whole through the cache", FrontEnd::Window, AskToOverwrite, Event::None, false, true, true, "yn", "a.BIN b.BIN d.BIN"},
    {"window, ask: Cancel stops the run", FrontEnd::Window, AskToOverwrite, Event::None, true, false, true, "yc", "a.BIN b.BIN"},
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
    QTemporaryDir dir(scratch("crash"));
    const ConversionSettingsRecord folders = inFolders({}, dir, r.overwrite, TargetFiles);
    const QString &source = folders.Source, &target = folders.Target;
    Promise p{QDir::cleanPath(source), QDir::cleanPath(target)};
    p.before = {{p.source, RunFixture::snapshot(source)}, {p.target, RunFixture::snapshot(target)}};

    Log log;
    ConversionSettingsRecord settings;
    QStringList reported;
    bool toldAtTheEnd = false;
    {
      RunRecorder disk;
      disk.writesDirect = r.direct;
      disk.flushesAsWhole = r.asWhole;
      disk.SetUnwrittenBytes(r.event == Event::OthersWrittenOut ? qint64(3) << 30 : 0);
      if (!r.noReplace) disk.Fail(Change::RenameNoReplace, EINVAL, 1000);
      if (!r.links) disk.Fail(Change::Link, EPERM, 1000);
      // Both front ends' runs keep the index of the file being converted: d's is 3, b's 1.
      disk.beforeCreate = [&] {
        if (r.event == Event::NameAppears && FileIndex == 3 && p.appeared.isEmpty()) {
          WriteFile(target + u"d.BIN"_s, OtherProgram);
          disk.Note({Kind::Appears, p.target, u"d.BIN"_s, {}, 0, OtherProgram});
          p.appeared.insert(u"d.BIN"_s, OtherProgram);
        }
        if (r.event == Event::OthersWrittenOut && FileIndex == 1) disk.SetUnwrittenBytes(0);
        if (r.event == Event::Stop && FileIndex == 1)
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
          f.messages.queue(*a == 'y' ? Answer::Yes : *a == 'n' ? Answer::No : Answer::Cancel);
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
        const char* policies[] = {"never", "always", "ask"};
        const QString line = u"quillet-cli convert --no-settings --json --quiet --overwrite "_s;
        Options options;
        QVERIFY(options.parse((line + QLatin1String(policies[r.overwrite])).split(u' ')
                              << source << target));
        CaughtOutput out([&](const QByteArray& line) {
          const QJsonObject o = QJsonDocument::fromJson(line).object();
          if (o.value(u"outcome"_s) == u"converted"_s) report(o.value(u"target"_s).toString());
        });
        toldAtTheEnd = !out.saved;
        RunConvert(options);
        settings = ConversionSettings;
        ResetGlobals();
      }
      log = disk.log;
#ifdef Q_OS_LINUX
      // The run took the write path and the flushes the row is about.
      bool wroteDirect = false;
      for (const DiskRecorder::Record& record : disk.Records())
        wroteDirect = wroteDirect || (record.change == Change::Write && record.direct);
      QCOMPARE(wroteDirect, r.direct && (!r.asWhole || r.event == Event::OthersWrittenOut));
      QCOMPARE(disk.Made(Change::FlushFileSystem) > 0, r.asWhole);
#endif
    }

    QTemporaryDir images(scratch("images"));
    const Files fresh = runOver(inFolders(settings, images, AlwaysOverwrite, {}));
    const Files after = RunFixture::snapshot(target);
    // Without its lines, the command line tells what it converted once it has ended.
    for (auto [name, bytes] : fresh.asKeyValueRange())
      if (toldAtTheEnd && after.value(name) == bytes) {
        reported.append(name);
        log.append({Kind::Reported, p.target, name});
      }
    const QStringList converted = QString::fromLatin1(r.converted).split(u' ');
    for (const QString& name : converted) p.converted.insert(name, fresh.value(name));
    QCOMPARE(reported, converted);

    // The log replayed in full is the folder the run left, and the run changed no source.
    const Timeline t(p.before, log);
    QCOMPARE(t.unknown, QString());
    const int last = int(log.size());
    QCOMPARE(materialise(t, {last, last}).value(p.target), after);
    QCOMPARE(RunFixture::snapshot(source), p.before.value(p.source));

    const QString fault = firstFault(t, p);
    QStringList entries;
    for (const Entry& e : log) entries.append(describe(e));
    QVERIFY2(fault.isEmpty(), qPrintable(fault + u"\nthe log: "_s + entries.join(u'|')));

    // A next run under "never" reads no target and no temporary file, so only the names of a
    // target folder tell two crash states apart for it.
    QSet<QStringList> namesRunOver;
    for (const Crash& c : crashesOf(t)) {
      const Files state = materialise(t, c).value(p.target);
      QStringList names = state.keys();
      for (QString& name : names) name = isTemporary(name) ? u"~"_s : name;
      if (namesRunOver.contains(names)) continue;
      namesRunOver.insert(names);
      const QString next = nextRunFault(state, settings, fresh);
      QVERIFY2(next.isEmpty(), qPrintable(c.describe() + u": "_s + next));
    }

    const QStringList missed = uncaughtMutations(log, p);
    QVERIFY2(missed.isEmpty(), qPrintable(u"no state fails "_s + missed.join(u';')));
  }
};

QTEST_MAIN(CrashStatesTest)
#include "test_crash_states.moc"
