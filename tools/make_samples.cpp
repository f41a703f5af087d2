// Writes a folder of synthetic sample images, one of each accepted layout and
// one of a length no layout has, to try Quillet on.
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);
  if (argc != 2) {
    err << "usage: make_samples FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.path())) {
    err << "cannot create " << folder.path() << "\n";
    return 1;
  }
  for (const auto& [name, image] : SampleImages()) {
    const QString path = folder.filePath(name);
    if (!WriteFile(path, image)) {
      err << "cannot write " << path << "\n";
      return 1;
    }
    out << path << " (" << image.size() << " bytes)\n";
  }
  return 0;
}
