// Times a whole run through the real main window, and quillet-cli convert,
// against what the disk itself allows: the device floor (the same number
// of bytes written as one file with dd, bypassing the cache and flushed)
// and a durable copy (cp, then a sync of the file system), each measured
// in the same rounds, for a folder of 1,000 and one of 10,000 images. The
// window's run is timed from the key press to its summary, less the same
// for a run of one file: what the files themselves cost. For the first
// folder it also times both runs beside another program streaming 3 GiB
// into the same file system, against the same runs alone and against bare
// writes of as many files that keep the same promise; last it takes
// quillet-cli's peak memory over a folder of the most files a run takes.
// Each ratio is the median of paired rounds' ratios. Run as root, it
// measures on a fresh journaled ext4 file system on a loop device that
// does direct I/O to its backing file.
//   bench_batch [--rounds=R] [--memory-files=N] [N ...]
//   (default: 3 rounds, 32767 files for the memory, 1000 10000)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "settings/modGlobals.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/Toolkit.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#endif

using namespace ImageBuilder;

namespace {

constexpr qint64 ImageBytes = 256 * 1024;
constexpr qint64 GiB = qint64(1) << 30;
constexpr qint64 StreamBytes = 3 * GiB;

QString imageName(int i) {
  return QStringLiteral("img%1.BIN").arg(i, 5, 10, QLatin1Char('0'));
}

// Images from the first to the count, of four layouts in turn.
void makeImages(const QString& folder, int first, int count) {
  const std::array<QByteArray, 4> templates{
      Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true),
      Image256K({Bank8(), Bank1(), Bank0(), Bank9()}, false),
      Image256K({Bank0(), Bank1(), Bank9(), Bank8()}, true, 0x00),
      Image256K({Bank1(), Bank0(), Bank8(), Bank9()}, false),
  };
  QDir().mkpath(folder);
  for (int i = first; i < count; ++i) {
    WriteFile(folder + u'/' + imageName(i), templates[static_cast<size_t>(i) % templates.size()]);
  }
}

// The summary's words, and when it came, from the key press.
QString summary;
QElapsedTimer runClock;
double summarySeconds = -1;

// The window's run, from the key press on "Reorder" to its summary.
double secondsToRun(const QString& source, const QString& target) {
  frm_Main* main = Forms::frm_Main.get();
  main->txtSource->SetFolder(source + u'/');
  main->txtTarget->SetFolder(target + u'/');
  ConversionSettings.Source = source + u'/';
  ConversionSettings.Target = target + u'/';
  ConversionSettings.PadSize = Padding64K;
  ConversionSettings.PadType = FrontPadding;
  ConversionSettings.OutOrder = QStringLiteral("8,1,0,9");
  summarySeconds = -1;
  runClock.start();
  main->cmdStrip->click();
  return summarySeconds;
}

// Runs a command to its end; its time in seconds, or -1 when it failed.
double secondsFor(const QString& program, const QStringList& arguments) {
  QProcess process;
  QElapsedTimer timer;
  timer.start();
  process.start(program, arguments);
  if (!process.waitForFinished(-1) || process.exitCode() != 0) return -1;
  return timer.nsecsElapsed() / 1e9;
}

QStringList convertArguments(const QString& source, const QString& target) {
  return {QStringLiteral("convert"),
          source,
          target,
          QStringLiteral("--no-settings"),
          QStringLiteral("--pad"),
          QStringLiteral("64k"),
          QStringLiteral("--pad-type"),
          QStringLiteral("front"),
          QStringLiteral("--order"),
          QStringLiteral("8,1,0,9"),
          QStringLiteral("--quiet")};
}

// quillet-cli convert with the layout the window's run uses.
double secondsToConvert(const QString& source, const QString& target) {
  return secondsFor(QStringLiteral(QUILLET_CLI), convertArguments(source, target));
}

// quillet-cli convert's peak resident memory in MiB, as the system counts
// it for the finished process; -1 when it failed or cannot be told.
double peakMiBToConvert(const QString& source, const QString& target) {
#ifdef Q_OS_UNIX
  QList<QByteArray> words{QByteArray(QUILLET_CLI)};
  for (const QString& word : convertArguments(source, target)) words.append(word.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return -1;
  return usage.ru_maxrss / 1024.0;
#else
  Q_UNUSED(source);
  Q_UNUSED(target);
  return -1;
#endif
}

// Every timed phase starts with nothing left to write from the one before.
void settle() {
  QProcess::execute(QStringLiteral("sync"), {});
}

void remove(const QString& folder) {
  QDir(folder).removeRecursively();
  settle();
}

// The seconds of one round, each phase into a folder of its own that is
// removed after it.
enum Phase { Floor, Copy, DurableCopy, Run, Cli, PhaseCount };
using Times = std::array<double, PhaseCount>;
const char* const PhaseNames[] = {"device floor", "cp", "durable copy", "window", "quillet-cli"};

// The device floor: as many bytes as the run writes, as one file written
// bypassing the cache and flushed.
double floorSeconds(const QString& work, qint64 bytes) {
  const QString file = work + QStringLiteral("/floor");
  settle();
  const double t = secondsFor(QStringLiteral("dd"),
                              {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + file,
                               QStringLiteral("bs=4M"), QStringLiteral("count=%1").arg(bytes),
                               QStringLiteral("iflag=count_bytes"), QStringLiteral("oflag=direct"),
                               QStringLiteral("conv=fsync"), QStringLiteral("status=none")});
  QFile::remove(file);
  settle();
  return t;
}

double durableCopySeconds(const QString& source, const QString& target) {
  QDir().mkpath(target);
  settle();
  QElapsedTimer timer;
  timer.start();
  const bool copied =
      secondsFor(QStringLiteral("cp"),
                 {QStringLiteral("-r"), source + QStringLiteral("/."), target}) >= 0 &&
      secondsFor(QStringLiteral("sync"), {QStringLiteral("-f"), target}) >= 0;
  const double t = copied ? timer.nsecsElapsed() / 1e9 : -1;
  remove(target);
  return t;
}

// The window's run of the folder, less that of a folder of one file. The
// one-file run comes after, so that the folder's run starts from the state
// every other phase starts from: a removal, then a sync.
double windowSeconds(const QString& work, const QString& source) {
  const QString target = work + QStringLiteral("/dst");
  QDir().mkpath(target);
  settle();
  const double all = secondsToRun(source, target);
  const QString told = summary;
  remove(target);
  QDir().mkpath(target);
  settle();
  const double one = secondsToRun(work + QStringLiteral("/one"), target);
  remove(target);
  summary = told;
  return all - one;
}

Times measureOnce(const QString& work, int count) {
  const QString source = work + QStringLiteral("/src");
  Times t{};
  t[Floor] = floorSeconds(work, count * ImageBytes);
  QDir().mkpath(work + QStringLiteral("/cp"));
  settle();
  t[Copy] = secondsFor(QStringLiteral("cp"), {QStringLiteral("-r"), source + QStringLiteral("/."),
                                              work + QStringLiteral("/cp")});
  remove(work + QStringLiteral("/cp"));
  // The durable copy comes after a run, not right after cp: removing cp's
  // files frees memory just written, and a machine that hands memory left
  // free back to its host gives such memory quickest to the next writer
  // through the cache: right after cp, the durable copy took less time than
  // the cp inside it.
  t[Run] = windowSeconds(work, source);
  t[DurableCopy] = durableCopySeconds(source, work + QStringLiteral("/durable"));
  QDir().mkpath(work + QStringLiteral("/cli"));
  settle();
  t[Cli] = secondsToConvert(source, work + QStringLiteral("/cli"));
  remove(work + QStringLiteral("/cli"));
  return t;
}

// Another program streaming into the same file system, as a download or a
// video export does: dd writing 3 GiB of zeros. It is given a lead of a
// third of that before the timed run starts, so that the run meets its data
// on the way to the disk; it is stopped and its file removed afterwards.
class Streamer {
 public:
  explicit Streamer(const QString& folder) : path_(folder + QStringLiteral("/stream")) {
    writer_.start(QStringLiteral("dd"),
                  {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + path_,
                   QStringLiteral("bs=1M"), QStringLiteral("count=%1").arg(StreamBytes >> 20)});
    writer_.waitForStarted(-1);
    QElapsedTimer lead;
    lead.start();
    while (writer_.state() == QProcess::Running && written() < StreamBytes / 3 &&
           !lead.hasExpired(60000)) {
      QThread::msleep(5);
    }
  }
  ~Streamer() {
    writer_.kill();
    writer_.waitForFinished(-1);
    QFile::remove(path_);
  }
  qint64 written() const { return QFileInfo(path_).size(); }

 private:
  QString path_;
  QProcess writer_;
};

// The least a run's promise costs on this disk: the same number of files
// written with nothing else done, each a new file whose bytes bypass the
// cache, from as many threads as a run flushes from, and flushed as a run
// must flush them. Alone that is one flush of the file system; beside the
// stream it is each file on its own, as a whole flush would wait for the
// stream's gigabytes. Its ratio beside to alone is the disk's and the
// system's, not any program's. -1 where such writes cannot be made.
constexpr int BareWriteThreads = 32;

double secondsForBareWrites(const QString& target, int count, bool eachFile) {
#ifdef Q_OS_LINUX
  const QByteArray folder = QFile::encodeName(target);
  const int held = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (held < 0) return -1;
  std::atomic<int> next{0};
  std::atomic<bool> failed{false};
  auto writeSome = [&] {
    void* bytes = nullptr;
    if (posix_memalign(&bytes, 4096, size_t(ImageBytes)) != 0) {
      failed = true;
      return;
    }
    std::memset(bytes, 0xFF, size_t(ImageBytes));
    for (int i = next++; i < count; i = next++) {
      const QByteArray name = imageName(i).toLatin1();
      const int file = ::openat(held, name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_DIRECT | O_CLOEXEC, 0644);
      if (file < 0 || ::pwrite(file, bytes, size_t(ImageBytes), 0) != ImageBytes ||
          (eachFile && ::fdatasync(file) != 0)) {
        failed = true;
      }
      if (file >= 0) ::close(file);
    }
    std::free(bytes);
  };
  QElapsedTimer timer;
  timer.start();
  std::vector<std::thread> threads;
  for (int i = 0; i < BareWriteThreads; ++i) threads.emplace_back(writeSome);
  for (std::thread& thread : threads) thread.join();
  if (!eachFile && ::syncfs(held) != 0) failed = true;
  const double t = timer.nsecsElapsed() / 1e9;
  ::close(held);
  return failed ? -1 : t;
#else
  Q_UNUSED(target);
  Q_UNUSED(count);
  Q_UNUSED(eachFile);
  return -1;
#endif
}

// The seconds of one round of runs alone and beside a streaming writer,
// alternated so that both meet the same state of the machine.
enum BesidePhase { RunAlone, RunBeside, CliAlone, CliBeside, BareAlone, BareBeside, BesideCount };
using BesideTimes = std::array<double, BesideCount>;

BesideTimes measureBesideOnce(const QString& work, int count, double* streamedGiB) {
  const QString source = work + QStringLiteral("/src");
  const QString target = work + QStringLiteral("/beside");
  BesideTimes t{};
  for (int phase = RunAlone; phase < BesideCount; ++phase) {
    const bool window = phase == RunAlone || phase == RunBeside;
    const bool bare = phase == BareAlone || phase == BareBeside;
    const bool beside = phase == RunBeside || phase == CliBeside || phase == BareBeside;
    QDir().mkpath(target);
    settle();
    std::optional<Streamer> streamer;
    if (beside) streamer.emplace(work);
    t[phase] = window ? secondsToRun(source, target)
               : bare ? secondsForBareWrites(target, count, beside)
                      : secondsToConvert(source, target);
    if (beside) *streamedGiB = double(streamer->written()) / GiB;
    streamer.reset();
    remove(target);
    if (window) {
      QDir().mkpath(target);
      settle();
      t[phase] -= secondsToRun(work + QStringLiteral("/one"), target);
      remove(target);
    }
  }
  return t;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median of the rounds' own ratios of one phase's seconds to another's.
double medianRatio(const std::vector<double>& over, const std::vector<double>& under) {
  std::vector<double> ratios;
  for (size_t i = 0; i < over.size(); ++i) ratios.push_back(over[i] / under[i]);
  return median(ratios);
}

// A fresh journaled ext4 file system on a loop device, as a desktop's disk
// has, mounted for the length of the benchmark. This machine's own disk may
// have no journal, and creating files there soon after many were deleted is
// slow for minutes, so figures taken there mislead.
class ScratchDisk {
 public:
  explicit ScratchDisk(qint64 bytes) {
    if (qEnvironmentVariableIsSet("QUILLET_BENCH_DIR")) {
      path_ = qEnvironmentVariable("QUILLET_BENCH_DIR");
      why_ = QStringLiteral("in QUILLET_BENCH_DIR as asked");
      return;
    }
    path_ = QDir::tempPath();
#ifdef Q_OS_LINUX
    if (geteuid() != 0) {
      why_ = QStringLiteral(
                 "in %1: only root can mount a fresh file system; that disk may have "
                 "no journal and be slowed by earlier deletions, so the ratios can mislead")
                 .arg(path_);
      return;
    }
    image_ = work_.path() + QStringLiteral("/disk.img");
    mount_ = work_.path() + QStringLiteral("/disk");
    QDir().mkpath(mount_);
    // Direct I/O on the loop device, so that flushing it costs what a disk's
    // flush costs, not a write-back of this machine's cached copy of it; its
    // blocks are all allocated first, as a disk's all exist.
    QProcess losetup;
    if (QProcess::execute(QStringLiteral("fallocate"),
                          {QStringLiteral("-l"), QString::number(bytes), image_}) == 0) {
      losetup.start(QStringLiteral("losetup"),
                    {QStringLiteral("--direct-io=on"), QStringLiteral("--find"),
                     QStringLiteral("--show"), image_});
      losetup.waitForFinished(-1);
      device_ = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    }
    if (!device_.isEmpty() &&
        QProcess::execute(QStringLiteral("mkfs.ext4"),
                          {QStringLiteral("-q"), QStringLiteral("-F"), device_}) == 0 &&
        QProcess::execute(QStringLiteral("mount"), {device_, mount_}) == 0) {
      path_ = mount_;
      mounted_ = true;
      why_ = QStringLiteral("on a fresh journaled ext4 file system on a direct-I/O loop device");
    } else {
      why_ = QStringLiteral("in %1: the loop file system could not be made; that disk may mislead")
                 .arg(path_);
    }
#else
    why_ = QStringLiteral("in %1, this system's temporary folder").arg(path_);
#endif
  }
  ~ScratchDisk() {
    if (mounted_) QProcess::execute(QStringLiteral("umount"), {mount_});
    if (!device_.isEmpty())
      QProcess::execute(QStringLiteral("losetup"), {QStringLiteral("-d"), device_});
  }
  QString path() const {
    return path_;
  }
  QString why() const {
    return why_;
  }

 private:
  QTemporaryDir work_;
  QString path_, why_, image_, mount_, device_;
  bool mounted_ = false;
};

QString ratio(double value) {
  return QString::number(value, 'f', 2);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir store;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());

  QList<int> sizes;
  int rounds = 3;
  int memoryFiles = 32767;
  for (const QString& arg : app.arguments().mid(1)) {
    if (arg.startsWith(u"--rounds=")) {
      rounds = qMax(1, arg.mid(9).toInt());
    } else if (arg.startsWith(u"--memory-files=")) {
      memoryFiles = arg.mid(15).toInt();
    } else {
      sizes.append(arg.toInt());
    }
  }
  if (sizes.isEmpty()) sizes = {1000, 10000};

  Toolkit::SetMessageHandler([&](const Toolkit::Message& message) {
    summarySeconds = runClock.nsecsElapsed() / 1e9;
    summary = message.prompt.simplified();
    return Toolkit::Answer::OK;
  });

  // Room for the largest folder with one copy beside it and the stream, or
  // for the memory's folder and its copy, and the file system's own share.
  const qint64 largest = *std::max_element(sizes.begin(), sizes.end());
  const qint64 needed =
      qMax(2 * ImageBytes * largest + StreamBytes, 2 * ImageBytes * qint64(memoryFiles));
  ScratchDisk disk(needed + needed / 4 + GiB);
  QTextStream out(stdout);
  out << "Measuring " << disk.why() << ", medians of " << rounds << " paired rounds.\n"
      << "floor: the same bytes as one file, dd oflag=direct conv=fsync; durable copy: cp, then "
         "sync -f.\nwindow: key press to summary, less a one-file run.\n";
  out.flush();
  std::optional<std::array<double, PhaseCount>> first;
  int firstN = 0;
  for (int n : sizes) {
    const QString work = disk.path() + QStringLiteral("/n%1").arg(n);
    makeImages(work + QStringLiteral("/src"), 0, n);
    makeImages(work + QStringLiteral("/one"), 0, 1);
    settle();
    std::array<std::vector<double>, PhaseCount> seconds;
    for (int round = 0; round < rounds; ++round) {
      const Times t = measureOnce(work, n);
      for (size_t i = 0; i < t.size(); ++i) seconds[i].push_back(t[i]);
    }
    std::array<double, PhaseCount> m{};
    out << QStringLiteral("%1 files:").arg(n);
    for (size_t i = 0; i < m.size(); ++i) {
      m[i] = median(seconds[i]);
      out << QStringLiteral(" %1 %2 s;").arg(QLatin1String(PhaseNames[i])).arg(m[i], 0, 'f', 2);
    }
    out << "\n  summary: " << summary << "\n"
        << "  window/floor " << ratio(medianRatio(seconds[Run], seconds[Floor]))
        << ", window/durable " << ratio(medianRatio(seconds[Run], seconds[DurableCopy]))
        << "; quillet-cli/floor " << ratio(medianRatio(seconds[Cli], seconds[Floor]))
        << ", quillet-cli/durable " << ratio(medianRatio(seconds[Cli], seconds[DurableCopy]))
        << "\n";
    if (!first) {
      first = m;
      firstN = n;
    } else {
      out << QStringLiteral(
                 "  %1 files took %2 times as long as %3 files in the window, %4 times with "
                 "quillet-cli (floor %5, durable copy %6)\n")
                 .arg(n)
                 .arg(ratio(m[Run] / (*first)[Run]))
                 .arg(firstN)
                 .arg(ratio(m[Cli] / (*first)[Cli]))
                 .arg(ratio(m[Floor] / (*first)[Floor]))
                 .arg(ratio(m[DurableCopy] / (*first)[DurableCopy]));
    }
    out.flush();
    if (n == sizes.first()) {
      std::vector<double> streamed;
      std::array<std::vector<double>, BesideCount> beside;
      for (int round = 0; round < rounds; ++round) {
        double gib = 0;
        const BesideTimes b = measureBesideOnce(work, n, &gib);
        for (size_t i = 0; i < b.size(); ++i) beside[i].push_back(b[i]);
        streamed.push_back(gib);
      }
      out << QStringLiteral(
                 "  beside dd streaming %1 GiB into the file system (%2 GiB written by the "
                 "window's run's end): window %3 s alone, %4 s beside, beside/alone %5; "
                 "quillet-cli %6 s alone, %7 s beside, beside/alone %8\n")
                 .arg(StreamBytes / GiB)
                 .arg(median(streamed), 0, 'f', 1)
                 .arg(median(beside[RunAlone]), 0, 'f', 2)
                 .arg(median(beside[RunBeside]), 0, 'f', 2)
                 .arg(ratio(medianRatio(beside[RunBeside], beside[RunAlone])))
                 .arg(median(beside[CliAlone]), 0, 'f', 2)
                 .arg(median(beside[CliBeside]), 0, 'f', 2)
                 .arg(ratio(medianRatio(beside[CliBeside], beside[CliAlone])));
      // Left out where a round could not make such writes (-1).
      auto madeAll = [](const std::vector<double>& t) {
        return std::all_of(t.begin(), t.end(), [](double s) { return s > 0; });
      };
      if (madeAll(beside[BareAlone]) && madeAll(beside[BareBeside])) {
        out << QStringLiteral(
                   "  bare writes of as many new files, bypassing the cache, %1 threads (alone "
                   "one flush of the file system, beside a flush of each file): %2 s alone, %3 s "
                   "beside, beside/alone %4; beside, window/bare %5, quillet-cli/bare %6\n")
                   .arg(BareWriteThreads)
                   .arg(median(beside[BareAlone]), 0, 'f', 2)
                   .arg(median(beside[BareBeside]), 0, 'f', 2)
                   .arg(ratio(medianRatio(beside[BareBeside], beside[BareAlone])))
                   .arg(ratio(medianRatio(beside[RunBeside], beside[BareBeside])))
                   .arg(ratio(medianRatio(beside[CliBeside], beside[BareBeside])));
      }
      out.flush();
    }
    remove(work);
  }
  if (memoryFiles > 0) {
    const QString work = disk.path() + QStringLiteral("/memory");
    makeImages(work + QStringLiteral("/src"), 0, memoryFiles);
    QDir().mkpath(work + QStringLiteral("/dst"));
    settle();
    const double peak =
        peakMiBToConvert(work + QStringLiteral("/src"), work + QStringLiteral("/dst"));
    out << QStringLiteral("quillet-cli convert of %1 files: peak memory %2 MiB\n")
               .arg(memoryFiles)
               .arg(peak, 0, 'f', 1);
    remove(work);
  }
  if (Forms::frm_Main.loaded()) Forms::frm_Main->Unload();
  return 0;
}
