#include "image/image_colour.h"

#include <algorithm>
#include <bit>

#include "support/byte_reader.h"

// Every region is checked with Has() (or by division against the bytes
// left) before it is read, so the reader's own range failure is never met
// on a damaged image: a damaged image gives false, never an exception. The
// texels are not stored: each adds to running sums as it is read.

namespace bw {
namespace {

// Running sums over the texels read. 64 bits hold 255 times any count that
// an image can stand for with the bytes it has: the densest form, a TGA run
// packet, gives 128 texels for two bytes.
struct TSums {
  uint64_t R = 0, G = 0, B = 0, Count = 0;
  void Add(TRgb c, uint64_t n) {
    R += c.R * n;
    G += c.G * n;
    B += c.B * n;
    Count += n;
  }
};

bool Finish(const TSums& sums, TRgb& mean) {
  if (sums.Count == 0) return false;
  const auto average = [&](uint64_t sum) {
    return static_cast<uint8_t>((sum + sums.Count / 2) / sums.Count);
  };
  mean = {average(sums.R), average(sums.G), average(sums.B)};
  return true;
}

// A value of 0..max on the 0..255 scale, rounded to nearest.
uint8_t Scale(uint64_t value, uint64_t max) {
  return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

// ---- DDS ----

constexpr size_t kDdsHeader = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kPfFourCC = 0x4;
constexpr uint32_t kPfRgb = 0x40;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 | static_cast<uint32_t>(c) << 16 |
         static_cast<uint32_t>(d) << 24;
}

// A 565 colour as DXT decoders widen it: each field's top bits repeated
// into the low bits, so that 0 and the field's maximum stay 0 and 255.
TRgb From565(uint16_t c) {
  const unsigned r = c >> 11, g = (c >> 5) & 63, b = c & 31;
  return {static_cast<uint8_t>(r << 3 | r >> 2), static_cast<uint8_t>(g << 2 | g >> 4),
          static_cast<uint8_t>(b << 3 | b >> 2)};
}

TRgb Blend(TRgb a, TRgb b, unsigned wa, unsigned wb) {
  const unsigned div = wa + wb;
  return {static_cast<uint8_t>((wa * a.R + wb * b.R) / div),
          static_cast<uint8_t>((wa * a.G + wb * b.G) / div),
          static_cast<uint8_t>((wa * a.B + wb * b.B) / div)};
}

// The texels of one DXT colour block that lie inside the image: its first
// `cols` columns of its first `rows` rows. Only DXT1 knows the three-colour
// mode (c0 <= c1, index 3 black, which DXT1 uses for its transparent
// texels); DXT3 and DXT5 carry alpha apart and always interpolate four.
void AddColourBlock(const TByteReader& data, size_t at, bool dxt1, unsigned cols, unsigned rows,
                    TSums& sums) {
  const uint16_t c0 = data.U16(at), c1 = data.U16(at + 2);
  const uint32_t indices = data.U32(at + 4);
  uint64_t uses[4] = {};
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned x = 0; x < cols; ++x) ++uses[(indices >> (2 * (4 * y + x))) & 3];
  TRgb palette[4] = {From565(c0), From565(c1)};
  if (!dxt1 || c0 > c1) {
    palette[2] = Blend(palette[0], palette[1], 2, 1);
    palette[3] = Blend(palette[0], palette[1], 1, 2);
  } else {
    palette[2] = Blend(palette[0], palette[1], 1, 1);
  }
  for (int k = 0; k < 4; ++k) sums.Add(palette[k], uses[k]);
}

bool DxtMean(const TByteReader& data, uint32_t width, uint32_t height, size_t blockBytes, bool dxt1,
             TRgb& mean) {
  const uint64_t across = (uint64_t{width} + 3) / 4, down = (uint64_t{height} + 3) / 4;
  if (across > data.Size() / blockBytes) return false;
  const size_t rowBytes = static_cast<size_t>(across) * blockBytes;
  if (down > data.Size() / rowBytes) return false;
  // DXT3 and DXT5 blocks hold their alpha half first.
  const size_t colourAt = blockBytes - 8;
  TSums sums;
  size_t at = 0;
  for (uint64_t by = 0; by < down; ++by) {
    const auto rows = static_cast<unsigned>(std::min<uint64_t>(4, height - 4 * by));
    for (uint64_t bx = 0; bx < across; ++bx, at += blockBytes) {
      const auto cols = static_cast<unsigned>(std::min<uint64_t>(4, width - 4 * bx));
      AddColourBlock(data, at + colourAt, dxt1, cols, rows, sums);
    }
  }
  return Finish(sums, mean);
}

// One channel of a packed pixel, as its mask describes it: the masked bits
// moved down, on the scale of the largest value the mask holds. A channel
// without mask reads 0.
class TChannel {
 public:
  explicit TChannel(uint32_t mask)
      : FMask(mask), FShift(mask ? std::countr_zero(mask) : 0), FMax(mask >> FShift) {}
  uint8_t Of(uint32_t pixel) const { return FMax ? Scale((pixel & FMask) >> FShift, FMax) : 0; }

 private:
  uint32_t FMask;
  int FShift;
  uint32_t FMax;
};

bool MaskedMean(const TByteReader& data, uint32_t width, uint32_t height, uint32_t bits, uint32_t rMask,
                uint32_t gMask, uint32_t bMask, TRgb& mean) {
  if (bits != 16 && bits != 24 && bits != 32) return false;
  // Masks that describe no colour, or bits the pixel does not have, are no
  // pixel format.
  const uint32_t inPixel = bits == 32 ? UINT32_MAX : (uint32_t{1} << bits) - 1;
  if ((rMask | gMask | bMask) == 0 || ((rMask | gMask | bMask) & ~inPixel) != 0) return false;
  const size_t pixelBytes = bits / 8;
  if (width > data.Size() / pixelBytes) return false;
  const size_t rowBytes = width * pixelBytes;
  if (height > data.Size() / rowBytes) return false;

  const TChannel r(rMask), g(gMask), b(bMask);
  TSums sums;
  const size_t end = rowBytes * height;
  for (size_t at = 0; at < end; at += pixelBytes) {
    uint32_t pixel = data.U16(at);
    if (pixelBytes > 2) pixel |= uint32_t{data.U8(at + 2)} << 16;
    if (pixelBytes > 3) pixel |= uint32_t{data.U8(at + 3)} << 24;
    sums.Add({r.Of(pixel), g.Of(pixel), b.Of(pixel)}, 1);
  }
  return Finish(sums, mean);
}

bool DdsMean(const TByteReader& in, TRgb& mean) {
  if (!in.Has(0, kDdsHeader)) return false;
  const uint32_t height = in.U32(12), width = in.U32(16);
  const uint32_t formatFlags = in.U32(80), fourCC = in.U32(84);
  if (width == 0 || height == 0) return false;
  const TByteReader data(in.Bytes().subspan(kDdsHeader));
  if (formatFlags & kPfFourCC) {
    switch (fourCC) {
      case FourCC('D', 'X', 'T', '1'): return DxtMean(data, width, height, 8, true, mean);
      case FourCC('D', 'X', 'T', '3'):
      case FourCC('D', 'X', 'T', '5'): return DxtMean(data, width, height, 16, false, mean);
      default: return false;
    }
  }
  if (formatFlags & kPfRgb)
    return MaskedMean(data, width, height, in.U32(88), in.U32(92), in.U32(96), in.U32(100), mean);
  return false;
}

// ---- TGA ----

constexpr size_t kTgaHeader = 18;

bool IsColourDepth(uint8_t depth) {
  return depth == 15 || depth == 16 || depth == 24 || depth == 32;
}
size_t DepthBytes(uint8_t depth) {
  return (depth + 7u) / 8;
}

// A colour as TGA stores it, in a pixel or a colour map entry: grey, or
// blue, green, red (5 bits each below a spare bit at 15 and 16 bits),
// any alpha last.
TRgb TgaColour(const TByteReader& in, size_t at, uint8_t depth) {
  if (depth == 8) {
    const uint8_t grey = in.U8(at);
    return {grey, grey, grey};
  }
  if (depth == 15 || depth == 16) {
    const uint16_t v = in.U16(at);
    return {Scale((v >> 10) & 31, 31), Scale((v >> 5) & 31, 31), Scale(v & 31, 31)};
  }
  return {in.U8(at + 2), in.U8(at + 1), in.U8(at)};
}

struct TTgaLayout {
  uint8_t Depth = 0;
  size_t PixelBytes = 0;
  bool Mapped = false;
  size_t MapAt = 0;
  uint32_t MapFirst = 0, MapCount = 0;
  uint8_t MapDepth = 0;
};

// The colour of the pixel stored at `at`. A colour-mapped pixel holds the
// position in the whole map, of which the file stores the entries from
// MapFirst on; false for one outside them.
bool TgaPixel(const TByteReader& in, const TTgaLayout& layout, size_t at, TRgb& colour) {
  if (!layout.Mapped) {
    colour = TgaColour(in, at, layout.Depth);
    return true;
  }
  const uint32_t index = layout.PixelBytes == 1 ? in.U8(at) : in.U16(at);
  if (index < layout.MapFirst || index - layout.MapFirst >= layout.MapCount) return false;
  colour =
      TgaColour(in, layout.MapAt + (index - layout.MapFirst) * DepthBytes(layout.MapDepth), layout.MapDepth);
  return true;
}

bool TgaMean(const TByteReader& in, TRgb& mean) {
  if (!in.Has(0, kTgaHeader)) return false;
  const uint8_t idLength = in.U8(0), mapType = in.U8(1), type = in.U8(2);
  const uint16_t width = in.U16(12), height = in.U16(14);
  TTgaLayout layout;
  layout.MapFirst = in.U16(3);
  layout.MapCount = in.U16(5);
  layout.MapDepth = in.U8(7);
  layout.Depth = in.U8(16);
  layout.PixelBytes = DepthBytes(layout.Depth);
  if (width == 0 || height == 0 || mapType > 1) return false;
  switch (type) {
    case 1:
    case 9:
      if (mapType != 1 || !IsColourDepth(layout.MapDepth) || (layout.Depth != 8 && layout.Depth != 16))
        return false;
      layout.Mapped = true;
      break;
    case 2:
    case 10:
      if (!IsColourDepth(layout.Depth)) return false;
      break;
    case 3:
    case 11:
      if (layout.Depth != 8) return false;
      break;
    default: return false;
  }
  // A true-colour or grey image may still carry a map, of any entry size,
  // which is skipped.
  layout.MapAt = kTgaHeader + idLength;
  const size_t mapBytes = mapType == 1 ? layout.MapCount * DepthBytes(layout.MapDepth) : 0;
  if (!in.Has(layout.MapAt, mapBytes)) return false;
  size_t at = layout.MapAt + mapBytes;
  const size_t pixelBytes = layout.PixelBytes;
  uint64_t left = uint64_t{width} * height;

  TSums sums;
  TRgb colour;
  if (type < 9) {
    if (left > (in.Size() - at) / pixelBytes) return false;
    for (; left > 0; --left, at += pixelBytes) {
      if (!TgaPixel(in, layout, at, colour)) return false;
      sums.Add(colour, 1);
    }
    return Finish(sums, mean);
  }
  // Run-length packets: a count byte (its top bit set for a run of one
  // pixel, clear for that many stored pixels), the last of which must end
  // on the image's last texel. Each packet uses at least two bytes, so a
  // header's claim costs no more work than the bytes there are.
  while (left > 0) {
    if (!in.Has(at, 1)) return false;
    const uint8_t head = in.U8(at++);
    const uint32_t count = (head & 0x7fu) + 1;
    if (count > left) return false;
    const size_t stored = head & 0x80 ? 1 : count;
    if (stored > (in.Size() - at) / pixelBytes) return false;
    if (stored == 1) {
      if (!TgaPixel(in, layout, at, colour)) return false;
      sums.Add(colour, count);
      at += pixelBytes;
    } else {
      for (size_t k = 0; k < stored; ++k, at += pixelBytes) {
        if (!TgaPixel(in, layout, at, colour)) return false;
        sums.Add(colour, 1);
      }
    }
    left -= count;
  }
  return Finish(sums, mean);
}

}  // namespace

bool MeanColour(std::span<const uint8_t> image, TRgb& mean) {
  const TByteReader in(image);
  if (in.Has(0, 4) && in.U32(0) == FourCC('D', 'D', 'S', ' ')) return DdsMean(in, mean);
  return TgaMean(in, mean);
}

}  // namespace bw
