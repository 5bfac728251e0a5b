#include "image/image_colour.h"

#include "image/image_decode.h"

// The texels are not stored: each adds to running sums as the decoder
// hands it on.

namespace bw {
namespace {

// Running sums over the texels read. 64 bits hold 255 times any count that
// an image can stand for with the bytes it has: the densest form, a TGA run
// packet, gives 128 texels for two bytes.
class TSums final : public TTexelSink {
 public:
  void Texels(uint32_t, uint32_t, std::span<const TRgb> texels) override {
    for (const TRgb& c : texels) Add(c, 1);
  }
  void Repeat(uint32_t, uint32_t, uint32_t count, TRgb colour) override { Add(colour, count); }

  bool Finish(TRgb& mean) const {
    if (FCount == 0) return false;
    const auto average = [&](uint64_t sum) { return static_cast<uint8_t>((sum + FCount / 2) / FCount); };
    mean = {average(FR), average(FG), average(FB)};
    return true;
  }

 private:
  void Add(TRgb c, uint64_t n) {
    FR += c.R * n;
    FG += c.G * n;
    FB += c.B * n;
    FCount += n;
  }
  uint64_t FR = 0, FG = 0, FB = 0, FCount = 0;
};

}  // namespace

bool MeanColour(std::span<const uint8_t> image, TRgb& mean) {
  TImageDecoder decoder;
  TSums sums;
  return decoder.Open(image) && decoder.Walk(0, sums) && sums.Finish(mean);
}

}  // namespace bw
