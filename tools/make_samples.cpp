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
  const QString usage = QStringLiteral(
      "usage: make_samples FOLDER\n"
      "Writes one synthetic image of every layout Quillet reads, and one file of\n"
      "a length no layout has, into FOLDER (made if need be).\n");
  const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (first == u"-h" || first == u"--help") {
    out << usage;
    return 0;
  }
  // Anything else that looks like an option is a slip, not a folder name.
  if (argc != 2 || first.startsWith(u'-')) {
    err << usage;
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
