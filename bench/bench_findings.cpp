// The CRC-32 over the banks of a list of 10,000 224K images, and what the
// findings add to the conversion of one 256K image when a run asks only for
// its dropped bytes.
#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/ImageAssembly.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_File.h"
#include "tools/ImageBuilder.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile quint32 sink = 0;

template <typename Work>
double nanosecondsPerCall(int calls, Work work) {
  const auto start = Clock::now();
  for (int call = 0; call < calls; ++call) work();
  const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
  return elapsed.count() / calls;
}

}  // namespace

int main() {
  using namespace ImageBuilder;
  const QByteArray banks = Image224K({Bank0(), Bank1(), Bank8(), Bank9()});
  constexpr int Images = 10000;
  const auto start = Clock::now();
  for (int i = 0; i < Images; ++i) sink = sink + Crc32(banks);
  const std::chrono::duration<double> crcSeconds = Clock::now() - start;
  const double megabytes = double(Images) * double(banks.size()) / 1e6;
  std::printf("CRC-32 of %d x 224K: %.2f s, %.0f MB/s\n", Images, crcSeconds.count(),
              megabytes / crcSeconds.count());

  QByteArray image = Image256K({Bank8(), Bank1(), Bank0(), Bank9()}, /*frontPadding=*/false);
  OutputLayout layout;
  ResolveLayout(QStringLiteral("0,1,8,9"), QStringLiteral("FF"), 1, 0, 0, 0, &layout);
  QByteArray out(Length224K, Qt::Uninitialized);
  auto convert = [&](bool findings) {
    const ImageReading reading = ConvertFile(image);
    if (!reading.recognised()) std::abort();
    if (findings) {
      sink = sink + quint32(TakeFindings(image, reading, {.layout = layout}).droppedBytes);
    }
    AssembleImage(PlanOutput(reading, layout), image, out.data());
  };
  double plainNs = 1e300, withNs = 1e300;
  for (int round = 0; round < 40; ++round) {
    plainNs = std::min(plainNs, nanosecondsPerCall(200, [&] { convert(false); }));
    withNs = std::min(withNs, nanosecondsPerCall(200, [&] { convert(true); }));
  }
  std::printf(
      "convert 256K to 56K padding: %.2f us, with its dropped bytes: %.2f us (ratio %.2f)\n",
      plainNs / 1000, withNs / 1000, withNs / plainNs);
  return 0;
}
