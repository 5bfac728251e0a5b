#include "image/image_decode.h"

#include <algorithm>
#include <bit>

// Every region is checked with Has() (or by division against the bytes
// left) before it is read, so the reader's own range failure is never met
// on a damaged image: a damaged image gives false, never an exception.

namespace bw {
namespace {

// Texels a piece handed to a sink holds at most: enough that the call costs
// little beside the decoding, small enough to live on the stack.
constexpr uint32_t kPiece = 64;

// A value of 0..max on the 0..255 scale, rounded to nearest.
uint8_t Scale(uint64_t value, uint64_t max) {
  return static_cast<uint8_t>((value * 255 + max / 2) / max);
}

// ---- DDS ----

constexpr size_t kDdsHeader = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kDdsdMipMapCount = 0x20000;
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

// Gathers texels that come one packet at a time, packets crossing rows,
// into pieces of one row for the sink.
class TRowFeeder {
 public:
  TRowFeeder(TTexelSink& sink, uint32_t width) : FSink(sink), FWidth(width) {}
  void Put(TRgb colour) {
    FPiece[FCount++] = colour;
    if (FCount == kPiece || FWidth - FColumn == FCount) Flush();
  }
  // `count` texels of one colour, at most as many as the level has left.
  void PutRun(TRgb colour, uint64_t count) {
    Flush();
    while (count > 0) {
      const auto take = static_cast<uint32_t>(std::min<uint64_t>(count, FWidth - FColumn));
      FSink.Repeat(FRow, FColumn, take, colour);
      Advance(take);
      count -= take;
    }
  }

 private:
  void Flush() {
    if (FCount == 0) return;
    FSink.Texels(FRow, FColumn, std::span<const TRgb>(FPiece, FCount));
    Advance(FCount);
    FCount = 0;
  }
  void Advance(uint32_t n) {
    FColumn += n;
    if (FColumn == FWidth) {
      ++FRow;
      FColumn = 0;
    }
  }

  TTexelSink& FSink;
  uint32_t FWidth;
  uint32_t FRow = 0, FColumn = 0, FCount = 0;
  TRgb FPiece[kPiece];
};

}  // namespace

bool TImageDecoder::Open(std::span<const uint8_t> image) {
  *this = TImageDecoder();
  FIn = TByteReader(image);
  if (FIn.Has(0, 4) && FIn.U32(0) == FourCC('D', 'D', 'S', ' ')) return OpenDds();
  return OpenTga();
}

uint32_t TImageDecoder::Width(uint32_t level) const {
  return level < kMaxLevels ? std::max<uint32_t>(1, FWidth >> level) : 1;
}
uint32_t TImageDecoder::Height(uint32_t level) const {
  return level < kMaxLevels ? std::max<uint32_t>(1, FHeight >> level) : 1;
}

bool TImageDecoder::OpenDds() {
  if (!FIn.Has(0, kDdsHeader)) return false;
  FHeight = FIn.U32(12);
  FWidth = FIn.U32(16);
  if (FWidth == 0 || FHeight == 0) return false;
  // The count is only meant when its flag says so; a writer that leaves
  // the flag clear stores the first level alone.
  if (FIn.U32(8) & kDdsdMipMapCount) FLevels = std::max<uint32_t>(1, FIn.U32(28));
  FDataAt = kDdsHeader;
  const uint32_t formatFlags = FIn.U32(80), fourCC = FIn.U32(84);
  if (formatFlags & kPfFourCC) {
    switch (fourCC) {
      case FourCC('D', 'X', 'T', '1'): FBlockBytes = 8; break;
      case FourCC('D', 'X', 'T', '3'):
      case FourCC('D', 'X', 'T', '5'): FBlockBytes = 16; break;
      default: return false;
    }
    FForm = EForm::Dxt;
    FDxt1 = FBlockBytes == 8;
    // DXT3 and DXT5 blocks hold their alpha half first.
    FColourAt = FBlockBytes - 8;
  } else if (formatFlags & kPfRgb) {
    const uint32_t bits = FIn.U32(88);
    const uint32_t r = FIn.U32(92), g = FIn.U32(96), b = FIn.U32(100);
    if (bits != 16 && bits != 24 && bits != 32) return false;
    // Masks that describe no colour, or bits the pixel does not have, are
    // no pixel format.
    const uint32_t inPixel = bits == 32 ? UINT32_MAX : (uint32_t{1} << bits) - 1;
    if ((r | g | b) == 0 || ((r | g | b) & ~inPixel) != 0) return false;
    FForm = EForm::Masked;
    FPixelBytes = bits / 8;
    FMasks[0] = r;
    FMasks[1] = g;
    FMasks[2] = b;
  } else {
    return false;
  }
  size_t bytes = 0;
  return LevelFits(0, FDataAt, bytes);
}

// The bytes of `level` stored from `at`, in `bytes`; false when they are
// not all there. Checked by division, so no product of a header's sizes can
// wrap.
bool TImageDecoder::LevelFits(uint32_t level, size_t at, size_t& bytes) const {
  if (at > FIn.Size()) return false;
  const size_t avail = FIn.Size() - at;
  const uint64_t width = Width(level), height = Height(level);
  uint64_t across = width, down = height;
  size_t unit = FPixelBytes;
  if (FForm == EForm::Dxt) {
    across = (width + 3) / 4;
    down = (height + 3) / 4;
    unit = FBlockBytes;
  }
  if (across > avail / unit) return false;
  const size_t rowBytes = static_cast<size_t>(across) * unit;
  if (down > avail / rowBytes) return false;
  bytes = rowBytes * static_cast<size_t>(down);
  return true;
}

// Where `level` starts, every level before it being whole.
bool TImageDecoder::LevelAt(uint32_t level, size_t& at) const {
  at = FDataAt;
  for (uint32_t k = 0; k < level; ++k) {
    size_t bytes = 0;
    if (!LevelFits(k, at, bytes)) return false;
    at += bytes;
  }
  return true;
}

bool TImageDecoder::HasLevel(uint32_t level) const {
  if (FForm == EForm::Tga) return level == 0;
  size_t at = 0, bytes = 0;
  return level < FLevels && level < kMaxLevels && LevelAt(level, at) && LevelFits(level, at, bytes);
}

bool TImageDecoder::Walk(uint32_t level, TTexelSink& sink) const {
  if (!HasLevel(level)) return false;
  if (FForm == EForm::Tga) return WalkTga(sink);
  size_t at = 0;
  LevelAt(level, at);
  if (FForm == EForm::Dxt)
    WalkDxt(level, at, sink);
  else
    WalkMasked(level, at, sink);
  return true;
}

// A row of blocks at a time, as many blocks across as a piece holds, each
// block's four rows handed on as four pieces. Texels of edge blocks past
// the image are decoded and not handed on. Only DXT1 knows the
// three-colour mode (c0 <= c1, index 3 black, which DXT1 uses for its
// transparent texels); DXT3 and DXT5 carry alpha apart and always
// interpolate four.
void TImageDecoder::WalkDxt(uint32_t level, size_t at, TTexelSink& sink) const {
  const uint32_t width = Width(level), height = Height(level);
  const uint64_t across = (uint64_t{width} + 3) / 4, down = (uint64_t{height} + 3) / 4;
  constexpr uint64_t kBlocks = kPiece / 4;
  TRgb piece[4][kPiece];
  for (uint64_t by = 0; by < down; ++by) {
    const auto rows = static_cast<uint32_t>(std::min<uint64_t>(4, height - 4 * by));
    for (uint64_t bx0 = 0; bx0 < across; bx0 += kBlocks) {
      const uint64_t blocks = std::min(kBlocks, across - bx0);
      for (uint64_t b = 0; b < blocks; ++b, at += FBlockBytes) {
        const uint16_t c0 = FIn.U16(at + FColourAt), c1 = FIn.U16(at + FColourAt + 2);
        const uint32_t indices = FIn.U32(at + FColourAt + 4);
        TRgb palette[4] = {From565(c0), From565(c1)};
        if (!FDxt1 || c0 > c1) {
          palette[2] = Blend(palette[0], palette[1], 2, 1);
          palette[3] = Blend(palette[0], palette[1], 1, 2);
        } else {
          palette[2] = Blend(palette[0], palette[1], 1, 1);
        }
        for (uint32_t y = 0; y < 4; ++y)
          for (uint32_t x = 0; x < 4; ++x) piece[y][4 * b + x] = palette[(indices >> (2 * (4 * y + x))) & 3];
      }
      const auto column = static_cast<uint32_t>(4 * bx0);
      const auto cols = static_cast<uint32_t>(std::min<uint64_t>(4 * blocks, width - 4 * bx0));
      for (uint32_t y = 0; y < rows; ++y)
        sink.Texels(static_cast<uint32_t>(4 * by + y), column, std::span<const TRgb>(piece[y], cols));
    }
  }
}

void TImageDecoder::WalkMasked(uint32_t level, size_t at, TTexelSink& sink) const {
  const TChannel r(FMasks[0]), g(FMasks[1]), b(FMasks[2]);
  const uint32_t width = Width(level), height = Height(level);
  TRgb piece[kPiece];
  for (uint32_t row = 0; row < height; ++row)
    for (uint32_t column = 0; column < width;) {
      const uint32_t count = std::min(kPiece, width - column);
      for (uint32_t k = 0; k < count; ++k, at += FPixelBytes) {
        uint32_t pixel = FIn.U16(at);
        if (FPixelBytes > 2) pixel |= uint32_t{FIn.U8(at + 2)} << 16;
        if (FPixelBytes > 3) pixel |= uint32_t{FIn.U8(at + 3)} << 24;
        piece[k] = {r.Of(pixel), g.Of(pixel), b.Of(pixel)};
      }
      sink.Texels(row, column, std::span<const TRgb>(piece, count));
      column += count;
    }
}

bool TImageDecoder::OpenTga() {
  if (!FIn.Has(0, kTgaHeader)) return false;
  FForm = EForm::Tga;
  const uint8_t idLength = FIn.U8(0), mapType = FIn.U8(1);
  FType = FIn.U8(2);
  FWidth = FIn.U16(12);
  FHeight = FIn.U16(14);
  FMap.First = FIn.U16(3);
  FMap.Count = FIn.U16(5);
  FMap.Depth = FIn.U8(7);
  FDepth = FIn.U8(16);
  const uint8_t descriptor = FIn.U8(17);
  FBottomUp = (descriptor & 0x20) == 0;
  FRightToLeft = (descriptor & 0x10) != 0;
  FPixelBytes = DepthBytes(FDepth);
  if (FWidth == 0 || FHeight == 0 || mapType > 1) return false;
  switch (FType) {
    case 1:
    case 9:
      if (mapType != 1 || !IsColourDepth(FMap.Depth) || (FDepth != 8 && FDepth != 16)) return false;
      FMap.Mapped = true;
      break;
    case 2:
    case 10:
      if (!IsColourDepth(FDepth)) return false;
      break;
    case 3:
    case 11:
      if (FDepth != 8) return false;
      break;
    default: return false;
  }
  // A true-colour or grey image may still carry a map, of any entry size,
  // which is skipped.
  FMap.At = kTgaHeader + idLength;
  const size_t mapBytes = mapType == 1 ? FMap.Count * DepthBytes(FMap.Depth) : 0;
  if (!FIn.Has(FMap.At, mapBytes)) return false;
  FDataAt = FMap.At + mapBytes;
  // Raw pixels are all there or the image is not read; run-length packets
  // are checked one by one as they are walked.
  const uint64_t texels = uint64_t{FWidth} * FHeight;
  return FType >= 9 || texels <= (FIn.Size() - FDataAt) / FPixelBytes;
}

// The colour of the pixel stored at `at`. A colour-mapped pixel holds the
// position in the whole map, of which the file stores the entries from
// First on; false for one outside them.
bool TImageDecoder::TgaPixel(size_t at, TRgb& colour) const {
  if (!FMap.Mapped) {
    colour = TgaColour(FIn, at, FDepth);
    return true;
  }
  const uint32_t index = FPixelBytes == 1 ? FIn.U8(at) : FIn.U16(at);
  if (index < FMap.First || index - FMap.First >= FMap.Count) return false;
  colour = TgaColour(FIn, FMap.At + (index - FMap.First) * DepthBytes(FMap.Depth), FMap.Depth);
  return true;
}

bool TImageDecoder::WalkTga(TTexelSink& sink) const {
  size_t at = FDataAt;
  TRgb colour;
  if (FType < 9) {
    TRgb piece[kPiece];
    for (uint32_t row = 0; row < FHeight; ++row)
      for (uint32_t column = 0; column < FWidth;) {
        const uint32_t count = std::min(kPiece, FWidth - column);
        for (uint32_t k = 0; k < count; ++k, at += FPixelBytes)
          if (!TgaPixel(at, piece[k])) return false;
        sink.Texels(row, column, std::span<const TRgb>(piece, count));
        column += count;
      }
    return true;
  }
  TRowFeeder feeder(sink, FWidth);
  uint64_t left = uint64_t{FWidth} * FHeight;
  // Run-length packets: a count byte (its top bit set for a run of one
  // pixel, clear for that many stored pixels), the last of which must end
  // on the image's last texel; a packet may cross rows. Each packet uses at
  // least two bytes, so a header's claim costs no more work than the bytes
  // there are.
  while (left > 0) {
    if (!FIn.Has(at, 1)) return false;
    const uint8_t head = FIn.U8(at++);
    const uint32_t count = (head & 0x7fu) + 1;
    if (count > left) return false;
    const size_t stored = head & 0x80 ? 1 : count;
    if (stored > (FIn.Size() - at) / FPixelBytes) return false;
    if (head & 0x80) {
      if (!TgaPixel(at, colour)) return false;
      feeder.PutRun(colour, count);
      at += FPixelBytes;
    } else {
      for (size_t k = 0; k < stored; ++k, at += FPixelBytes) {
        if (!TgaPixel(at, colour)) return false;
        feeder.Put(colour);
      }
    }
    left -= count;
  }
  return true;
}

}  // namespace bw
