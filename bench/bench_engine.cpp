// Time to convert one 256K image in memory, next to the time of a plain copy
// of the same number of bytes measured in the same run.
#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/ImageAssembly.h"
#include "tools/ImageBuilder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Results are folded into this so that no round can be optimised away.
volatile unsigned char sink = 0;

// Nanoseconds per call of one round of `calls` calls.
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
  QByteArray image = Image256K({Bank8(), Bank1(), Bank0(), Bank9()}, /*frontPadding=*/false, 0xFF);
  const qsizetype imageSize = image.size();

  OutputLayout layout;
  if (ResolveLayout(QStringLiteral("0,1,8,9"), QStringLiteral("FF"), 2, 1, 0, 0, &layout) !=
      LayoutError::None) {
    std::fprintf(stderr, "layout rejected\n");
    return 1;
  }

  // The run assembles one image after another into the same buffer.
  QByteArray out(Length256K, Qt::Uninitialized);
  auto convert = [&] {
    const ImageReading reading = ConvertFile(image);
    if (!reading.recognised()) std::abort();
    const OutputPlan plan = PlanOutput(reading, layout);
    AssembleImage(plan, image, out.data());
    sink = sink + static_cast<unsigned char>(out[out.size() / 2]);
  };
  auto copy = [&] {
    auto buffer = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(imageSize));
    std::memcpy(buffer.get(), image.constData(), static_cast<size_t>(imageSize));
    // Forces the copy to happen in full before the buffer is freed.
    asm volatile("" : : "r"(buffer.get()) : "memory");
    sink = sink + static_cast<unsigned char>(buffer[static_cast<size_t>(imageSize) / 2]);
  };

  // Rounds of the two alternate, so that both meet the same load of the
  // machine; the best round of each counts. The first rounds warm up the
  // allocator and the caches.
  const int rounds = 40;
  const int calls = 200;
  double convertNs = 1e300;
  double copyNs = 1e300;
  for (int round = 0; round < rounds; ++round) {
    convertNs = std::min(convertNs, nanosecondsPerCall(calls, convert));
    copyNs = std::min(copyNs, nanosecondsPerCall(calls, copy));
  }
  std::printf("convert 256K image, 64K front padding: %9.2f us per image\n", convertNs / 1000);
  std::printf("copy of %lld bytes:                 %9.2f us\n", static_cast<long long>(imageSize),
              copyNs / 1000);
  std::printf("ratio: %.2f (aim: at most 3)\n", convertNs / copyNs);
  return 0;
}
