// Times a whole run through the real main window against plainly copying
// the same files, for a folder of 1,000 and one of 10,000 images.
//   bench_batch [N ...]   (default: 1000 10000)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <filesystem>

#include "settings/modGlobals.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/Toolkit.h"
#include "ui/frm_Main.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
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

double secondsToCopy(const QString& source, const QString& target) {
  QElapsedTimer timer;
  timer.start();
  for (const auto& entry : std::filesystem::directory_iterator(source.toStdString())) {
    std::filesystem::copy_file(
        entry.path(), std::filesystem::path(target.toStdString()) / entry.path().filename());
  }
  return timer.nsecsElapsed() / 1e9;
}

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

  QTextStream out(stdout);
  out << "files  run_s  copy_s  run/copy  per_file_ms  peak_MiB\n";
  double firstRun = 0;
  int firstN = 0;
  for (int n : sizes) {
    QTemporaryDir work;
    const QString source = work.path() + QStringLiteral("/src");
    const QString target = work.path() + QStringLiteral("/dst");
    const QString copies = work.path() + QStringLiteral("/copy");
    for (const QString& folder : {source, target, copies}) QDir().mkpath(folder);
    makeImages(source, n);

    const double run = secondsToRun(source, target);
    const double copy = secondsToCopy(source, copies);
    out << QStringLiteral("%1  %2  %3  %4  %5  %6\n")
               .arg(n, 5)
               .arg(run, 5, 'f', 2)
               .arg(copy, 6, 'f', 2)
               .arg(run / copy, 8, 'f', 2)
               .arg(run * 1000 / n, 11, 'f', 3)
               .arg(peakMiB(), 8, 'f', 1);
    out << "       summary: " << summary << "\n";
    out.flush();
    if (firstN == 0) {
      firstN = n;
      firstRun = run;
    } else {
      out << QStringLiteral("       %1 files took %2 times as long as %3 files\n")
                 .arg(n)
                 .arg(run / firstRun, 0, 'f', 2)
                 .arg(firstN);
    }
  }
  if (Forms::frm_Main.loaded()) Forms::frm_Main->Unload();
  return 0;
}
