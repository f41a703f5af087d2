// The image list over a folder of 256K images: how long the look takes to
// fill it, shown in a sorted table, against `quillet-cli inspect` of the
// same files, and the longest the event loop waits meanwhile (typing and
// buttons wait as long). Paired rounds, medians.
//
//   bench_images [files]   (10000 by default)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QEventLoop>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "batch/ImageList.h"
#include "batch/ImageSurvey.h"
#include "settings/modGlobals.h"
#include "tools/ImageBuilder.h"

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Look {
  double seconds;
  double longestStallMs;
};

Look lookAt(const QString& folder) {
  ImageListModel model;
  QSortFilterProxyModel proxy;
  proxy.setSourceModel(&model);
  proxy.sort(ImageListModel::Name);
  QTableView view;
  view.setModel(&proxy);
  view.resize(900, 600);
  view.show();
  ImageSurvey survey(&model);
  QEventLoop done;
  QObject::connect(&survey, &ImageSurvey::finished, &done, &QEventLoop::quit);
  QObject::connect(&survey, &ImageSurvey::refused, [](const Toolkit::Message& message) {
    std::fprintf(stderr, "the look was refused: %s\n", qPrintable(message.prompt));
    std::exit(1);
  });

  // A timer due every 5 ms: the longest gap between its calls, less the
  // 5 ms, is the longest the loop was kept from anything else.
  QElapsedTimer sinceTick;
  qint64 longest = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longest = std::max(longest, sinceTick.nsecsElapsed());
    sinceTick.start();
  });

  ConversionSettingsRecord settings = ConversionSettings;
  settings.Source = folder;
  settings.Target = folder + QStringLiteral("/out");
  QElapsedTimer clock;
  clock.start();
  sinceTick.start();
  tick.start(5);
  survey.Start(settings);
  done.exec();
  const double seconds = clock.nsecsElapsed() / 1e9;
  tick.stop();
  return {seconds, std::max(0.0, longest / 1e6 - 5)};
}

double inspect(const QString& folder, const QStringList& names) {
  QProcess cli;
  cli.setWorkingDirectory(folder);
  cli.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  cli.start(QStringLiteral(QUILLET_CLI),
            QStringList{QStringLiteral("inspect"), QStringLiteral("--no-settings")} + names);
  if (!cli.waitForFinished(600000)) std::abort();
  return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath(QStringLiteral("out")));
  using namespace ImageBuilder;
  const QByteArray image =
      With(Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true), 0x10100, "CAL 4.2 EEC");
  QStringList names;
  for (int i = 0; i < files; ++i) {
    const QString name = QStringLiteral("image%1.BIN").arg(i, 5, 10, QLatin1Char('0'));
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) std::abort();
    names.append(name);
  }
  ConversionSettings.SourceExt = ConversionSettings.TargetExt = QStringLiteral(".BIN");
  ConversionSettings.OutOrder = QStringLiteral("0,1,8,9");
  ConversionSettings.PadValue = QStringLiteral("FF");
  lookAt(dir.path());  // the files come into the page cache once, for both

  std::vector<double> lists, inspects, ratios, stalls;
  for (int round = 0; round < 5; ++round) {
    const Look look = lookAt(dir.path());
    const double baseline = inspect(dir.path(), names);
    lists.push_back(look.seconds);
    inspects.push_back(baseline);
    ratios.push_back(look.seconds / baseline);
    stalls.push_back(look.longestStallMs);
  }
  std::printf("image list of %d files of 256K: %.2f s; quillet-cli inspect of them: %.2f s\n",
              files, median(lists), median(inspects));
  std::printf("ratio to inspect: %.2f (target at most 1.5)\n", median(ratios));
  std::printf("longest wait of the event loop: %.0f ms (target at most 50)\n", median(stalls));
  return 0;
}
