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
  const qint64 k = 1024;
  const struct {
    const char* name;
    QByteArray image;
  } samples[] = {
      {"two_bank_88k.bin", Image88K(Bank1(32 * k), Bank8())},
      {"two_bank_112k.bin", Image112K(Bank8(), Bank1())},
      {"four_bank_216k.bin", Image216K({Bank0(), Bank1(48 * k), Bank8(), Bank9()})},
      {"four_bank_224k.bin", Image224K({Bank8(), Bank1(), Bank0(), Bank9()})},
      {"front_padded_256k.bin", Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true)},
      {"rear_padded_256k.bin", Image256K({Bank0(), Bank1(), Bank9(), Bank8()}, false)},
      {"unknown_length.bin", Body(100 * k, 0x10)},
  };
  for (const auto& sample : samples) {
    const QString path = folder.filePath(QString::fromLatin1(sample.name));
    if (!WriteFile(path, sample.image)) {
      err << "cannot write " << path << "\n";
      return 1;
    }
    out << path << " (" << sample.image.size() << " bytes)\n";
  }
  return 0;
}
