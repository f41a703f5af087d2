// Times a whole run through the real main window against copying the same
// files with cp, and against a durable copy (cp, then a sync of the file
// system), for a folder of 1,000 and one of 10,000 images; then quillet-cli
// convert on the same files. For the first folder it also times both runs
// beside another program streaming 3 GiB into the same file system, against
// the same runs alone: a run must wait for its own files only, not for other
// programs' data. Each figure is the median of three rounds. Run as root, it
// measures on a fresh journaled file system of its own.
//   bench_batch [N ...]   (default: 1000 10000)
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
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace ImageBuilder;

namespace {

// Peak resident memory of the process so far, in MiB (0 where unknown).
double peakMiB() {
#ifdef Q_OS_UNIX
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
#else
  return 0;
#endif
}

void makeImages(const QString& folder, int count) {
  const std::array<QByteArray, 4> templates{
      Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true),
      Image256K({Bank8(), Bank1(), Bank0(), Bank9()}, false),
      Image256K({Bank0(), Bank1(), Bank9(), Bank8()}, true, 0x00),
      Image256K({Bank1(), Bank0(), Bank8(), Bank9()}, false),
  };
  for (int i = 0; i < count; ++i) {
    WriteFile(folder + QStringLiteral("/img%1.BIN").arg(i, 5, 10, QLatin1Char('0')),
              templates[static_cast<size_t>(i) % templates.size()]);
  }
}

double secondsToRun(const QString& source, const QString& target) {
  frm_Main* main = Forms::frm_Main.get();
  main->txtSource->setText(source + u'/');
  main->txtTarget->setText(target + u'/');
  ConversionSettings.Source = source + u'/';
  ConversionSettings.Target = target + u'/';
  ConversionSettings.PadSize = Padding64K;
  ConversionSettings.PadType = FrontPadding;
  ConversionSettings.OutOrder = QStringLiteral("8,1,0,9");
  QElapsedTimer timer;
  timer.start();
  main->cmdStrip->click();
  return timer.nsecsElapsed() / 1e9;
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

// quillet-cli convert with the layout the window's run uses.
double secondsToConvert(const QString& source, const QString& target) {
  return secondsFor(
      QStringLiteral(QUILLET_CLI),
      {QStringLiteral("convert"), source, target, QStringLiteral("--no-settings"),
       QStringLiteral("--pad"), QStringLiteral("64k"), QStringLiteral("--pad-type"),
       QStringLiteral("front"), QStringLiteral("--order"), QStringLiteral("8,1,0,9")});
}

// Every timed phase starts with nothing left to write from the one before.
void settle() {
  QProcess::execute(QStringLiteral("sync"), {});
}

constexpr int Rounds = 3;

// The seconds of one round: the window's run, quillet-cli convert, cp and
// a durable copy, each into a folder of its own, removed afterwards.
enum Phase { Run, Cli, Copy, DurableCopy };
using Times = std::array<double, 4>;

Times measureOnce(const QString& work) {
  const QString source = work + QStringLiteral("/src");
  const QStringList folders{QStringLiteral("/dst"), QStringLiteral("/cli"), QStringLiteral("/cp"),
                            QStringLiteral("/durable")};
  for (const QString& folder : folders) QDir().mkpath(work + folder);
  Times t{};
  settle();
  t[Run] = secondsToRun(source, work + folders[Run]);
  settle();
  t[Cli] = secondsToConvert(source, work + folders[Cli]);
  settle();
  t[Copy] = secondsFor(QStringLiteral("cp"),
                       {QStringLiteral("-r"), source + QStringLiteral("/."), work + folders[Copy]});
  settle();
  QElapsedTimer timer;
  timer.start();
  const QString durable = work + folders[DurableCopy];
  const bool copied =
      secondsFor(QStringLiteral("cp"),
                 {QStringLiteral("-r"), source + QStringLiteral("/."), durable}) >= 0 &&
      secondsFor(QStringLiteral("sync"), {QStringLiteral("-f"), durable}) >= 0;
  t[DurableCopy] = copied ? timer.nsecsElapsed() / 1e9 : -1;
  for (const QString& folder : folders) QDir(work + folder).removeRecursively();
  settle();
  return t;
}

constexpr qint64 GiB = qint64(1) << 30;
constexpr qint64 StreamBytes = 3 * GiB;

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

// The seconds of one round of runs alone and beside a streaming writer,
// alternated so that both meet the same state of the machine.
enum BesidePhase { RunAlone, RunBeside, CliAlone, CliBeside };

Times measureBesideOnce(const QString& work, double* streamedGiB) {
  const QString source = work + QStringLiteral("/src");
  const QString target = work + QStringLiteral("/beside");
  Times t{};
  for (int phase = RunAlone; phase <= CliBeside; ++phase) {
    QDir().mkpath(target);
    settle();
    std::optional<Streamer> streamer;
    if (phase == RunBeside || phase == CliBeside) streamer.emplace(work);
    t[phase] = phase == RunAlone || phase == RunBeside ? secondsToRun(source, target)
                                                       : secondsToConvert(source, target);
    if (phase == RunBeside) *streamedGiB = double(streamer->written()) / GiB;
    streamer.reset();
    QDir(target).removeRecursively();
  }
  settle();
  return t;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
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
    // flush costs, not a write-back of this machine's cached copy of it.
    QProcess losetup;
    if (QProcess::execute(QStringLiteral("truncate"),
                          {QStringLiteral("-s"), QString::number(bytes), image_}) == 0 &&
        QProcess::execute(QStringLiteral("mkfs.ext4"), {QStringLiteral("-q"), image_}) == 0) {
      losetup.start(QStringLiteral("losetup"), {QStringLiteral("--find"), QStringLiteral("--show"),
                                                QStringLiteral("--direct-io=on"), image_});
      losetup.waitForFinished(-1);
      device_ = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    }
    if (!device_.isEmpty() && QProcess::execute(QStringLiteral("mount"), {device_, mount_}) == 0) {
      path_ = mount_;
      mounted_ = true;
      why_ = QStringLiteral("on a fresh journaled ext4 file system on a loop device");
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

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir store;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());

  QList<int> sizes;
  for (const QString& arg : app.arguments().mid(1)) sizes.append(arg.toInt());
  if (sizes.isEmpty()) sizes = {1000, 10000};

  QString summary;
  Toolkit::SetMessageHandler([&](const Toolkit::Message& message) {
    summary = message.prompt.simplified();
    return Toolkit::Answer::OK;
  });

  // Room for the largest folder with its four copies, the stream beside
  // them, and the file system's own share.
  const qint64 imageBytes = 256 * 1024;
  const qint64 largest = *std::max_element(sizes.begin(), sizes.end());
  const qint64 needed = 5 * imageBytes * largest + StreamBytes;
  ScratchDisk disk(needed + needed / 4 + GiB);
  QTextStream out(stdout);
  out << "Measuring " << disk.why() << ", the median of " << Rounds << " rounds.\n"
      << "cp: copying the same files; durable copy: cp, then the file system synced.\n"
      << "files  run_s  cp_s  durable_s  run/cp  run/durable  peak_MiB\n";
  std::optional<Times> first;
  int firstN = 0;
  for (int n : sizes) {
    const QString work = disk.path() + QStringLiteral("/n%1").arg(n);
    QDir().mkpath(work + QStringLiteral("/src"));
    makeImages(work + QStringLiteral("/src"), n);
    std::array<std::vector<double>, 4> rounds;
    for (int round = 0; round < Rounds; ++round) {
      const Times once = measureOnce(work);
      for (size_t i = 0; i < rounds.size(); ++i) rounds[i].push_back(once[i]);
    }
    Times t{};
    for (size_t i = 0; i < rounds.size(); ++i) t[i] = median(rounds[i]);
    out << QStringLiteral("%1  %2  %3  %4  %5  %6  %7\n")
               .arg(n, 5)
               .arg(t[Run], 5, 'f', 2)
               .arg(t[Copy], 4, 'f', 2)
               .arg(t[DurableCopy], 9, 'f', 2)
               .arg(t[Run] / t[Copy], 6, 'f', 2)
               .arg(t[Run] / t[DurableCopy], 11, 'f', 2)
               .arg(peakMiB(), 8, 'f', 1);
    out << "       summary: " << summary << "\n";
    out << QStringLiteral(
               "       quillet-cli convert: %1 s, cli/cp %2, cli/durable %3, cli/run %4\n")
               .arg(t[Cli], 0, 'f', 2)
               .arg(t[Cli] / t[Copy], 0, 'f', 2)
               .arg(t[Cli] / t[DurableCopy], 0, 'f', 2)
               .arg(t[Cli] / t[Run], 0, 'f', 2);
    if (!first) {
      first = t;
      firstN = n;
    } else {
      // The copies' own growth shows what the disk allows: past the memory
      // the system lets wait for the disk, every writer goes at its pace.
      out << QStringLiteral(
                 "       %1 files took %2 times as long as %3 files (cp %4, durable copy %5)\n")
                 .arg(n)
                 .arg(t[Run] / (*first)[Run], 0, 'f', 2)
                 .arg(firstN)
                 .arg(t[Copy] / (*first)[Copy], 0, 'f', 2)
                 .arg(t[DurableCopy] / (*first)[DurableCopy], 0, 'f', 2);
    }
    if (n == sizes.first()) {
      std::array<std::vector<double>, 4> beside;
      std::vector<double> streamed;
      for (int round = 0; round < Rounds; ++round) {
        double gib = 0;
        const Times once = measureBesideOnce(work, &gib);
        for (size_t i = 0; i < beside.size(); ++i) beside[i].push_back(once[i]);
        streamed.push_back(gib);
      }
      Times b{};
      for (size_t i = 0; i < beside.size(); ++i) b[i] = median(beside[i]);
      out << QStringLiteral(
                 "       beside a writer streaming %1 GiB into the file system (%2 GiB written "
                 "by the run's end):\n"
                 "         run %3 s alone, %4 s beside, beside/alone %5; "
                 "quillet-cli %6 s alone, %7 s beside, beside/alone %8\n")
                 .arg(StreamBytes / GiB)
                 .arg(median(streamed), 0, 'f', 1)
                 .arg(b[RunAlone], 0, 'f', 2)
                 .arg(b[RunBeside], 0, 'f', 2)
                 .arg(b[RunBeside] / b[RunAlone], 0, 'f', 2)
                 .arg(b[CliAlone], 0, 'f', 2)
                 .arg(b[CliBeside], 0, 'f', 2)
                 .arg(b[CliBeside] / b[CliAlone], 0, 'f', 2);
    }
    out.flush();
    QDir(work).removeRecursively();
    settle();
  }
  if (Forms::frm_Main.loaded()) Forms::frm_Main->Unload();
  return 0;
}
