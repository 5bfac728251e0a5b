#pragma once
// Builds texture images in code, as texture libraries store them: DDS files
// of DXT blocks or of packed pixels described by masks, and TGA files of
// every type. Used by the tests and by the fuzzers' seed corpus.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cmp_builder.h"

namespace bwtest {

// ---- DDS ----

// Offsets of the header fields, for tests that damage them.
inline constexpr size_t kDdsHeightAt = 12, kDdsWidthAt = 16, kDdsFormatFlagsAt = 80, kDdsFourCCAt = 84,
                        kDdsBitsAt = 88, kDdsMasksAt = 92, kDdsDataAt = 128;
inline constexpr uint32_t kDdsAlphaPixels = 0x1, kDdsFourCC = 0x4, kDdsRgb = 0x40;

struct TDdsFormat {
  uint32_t Flags = kDdsRgb;
  uint32_t FourCC = 0;
  uint32_t Bits = 0;
  std::array<uint32_t, 4> Masks{};  // red, green, blue, alpha
};
inline constexpr uint32_t MakeFourCC(const char (&s)[5]) {
  return static_cast<uint8_t>(s[0]) | static_cast<uint8_t>(s[1]) << 8 | static_cast<uint8_t>(s[2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

// "DDS " and a complete 124-byte header; the caller appends the data.
Bytes DdsHeader(uint32_t width, uint32_t height, const TDdsFormat& format, uint32_t mipCount = 1);

// A DXT1, DXT3 or DXT5 image (kind 1, 3 or 5) of pseudo-random blocks,
// reddish with a green ramp across. `threeColour` lets DXT1 blocks with
// c0 <= c1 (and their index 3) appear; DXT3 and DXT5 images always have
// them. With `mips`, the whole mipmap chain follows the first level.
Bytes DxtDds(int kind, uint32_t width, uint32_t height, uint32_t seed, bool threeColour, bool mips = false);

// Packed pixels, one value a pixel, stored in Bits / 8 bytes each.
Bytes MaskedDds(uint32_t width, uint32_t height, const TDdsFormat& format,
                const std::vector<uint32_t>& pixels);

// ---- TGA ----

inline constexpr uint8_t kTgaTopDown = 0x20, kTgaRightToLeft = 0x10;

struct TTgaImage {
  uint8_t Type = 2;
  uint8_t Depth = 24;
  uint16_t Width = 1, Height = 1;
  std::string Id;
  uint8_t MapType = 0;
  uint16_t MapFirst = 0;
  uint16_t MapCount = 0;
  uint8_t MapDepth = 0;
  Bytes Map;     // the stored entries
  Bytes Pixels;  // as stored: run-length packets for types 9, 10 and 11
  // Descriptor bit 5 (rows from the top) and bit 4 (columns from the right);
  // the alpha bits are added to them.
  uint8_t Origin = kTgaTopDown;
};
inline constexpr size_t kTgaMapCountAt = 5, kTgaWidthAt = 12, kTgaHeightAt = 14;
Bytes BuildTga(const TTgaImage& tga);

// Run-length packets for raw pixels of `pixelBytes` each: runs of equal
// pixels as run packets, the rest as stored packets, none longer than 128,
// crossing rows where the pixels do.
Bytes TgaRle(const Bytes& raw, size_t pixelBytes);

// ---- A set of every form ----

struct TSampleImage {
  std::string Name;  // with the extension of its kind
  Bytes Data;
  bool MagickReads = true;  // false where ImageMagick reads the masks its own way
};
// Images of every form read, with texels varied so that a channel taken
// for another, or a texel weighed wrongly, moves the mean.
std::vector<TSampleImage> SampleImages();

// Images of no form read, or whose header promises more than their bytes
// hold: each a small change to an image that reads.
std::vector<TSampleImage> DamagedImages();

// ---- Painted images ----

// Images whose texels a test chooses, to check where each lands: the
// colour of the texel at column x from the left and row y from the top, as
// the image is shown, of a level `width` by `height`.
using TTexel = std::array<uint8_t, 3>;  // red, green, blue
using TPaint = std::function<TTexel(uint32_t x, uint32_t y, uint32_t width, uint32_t height)>;

inline constexpr TTexel kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kYellow{255, 255, 0};
// "r,g,b", for messages that name a colour: a texel here, or the readers'
// colour (anything of R, G and B; the builder does not depend on them).
std::string Text(const TTexel& c);
template <class TColour>
  requires requires(const TColour& c) { c.R + c.G + c.B; }
std::string Text(const TColour& c) {
  return Text(TTexel{c.R, c.G, c.B});
}

// The test pattern: top left red, top right green, bottom left blue,
// bottom right yellow.
TTexel Quadrants(uint32_t x, uint32_t y, uint32_t width, uint32_t height);

enum class EPaintedForm {
  Dxt1,            // DXT1 blocks of at most two colours each (exact for 565 colours)
  Dds24,           // 24-bit packed pixels, red in the high byte
  TgaBottomLeft,   // type 2, 24 bits, rows stored from the bottom
  TgaTopLeft,      // type 2, 24 bits, rows stored from the top
  TgaTopRightRle,  // type 10, 24 bits, from the top, each row stored from its right
};

// A DDS form with `lowerLevels` gets the whole mipmap chain after its first
// level, each level painted by it at that level's size.
Bytes PaintedImage(EPaintedForm form, uint32_t width, uint32_t height, const TPaint& paint,
                   const TPaint& lowerLevels = nullptr);

// The test pattern in every painted form, 16 x 12; and a DXT1 DDS of 256 x 8
// with its chain, whose lower levels are the pattern with its colours
// turned (so that a reader that uses them can be told).
std::vector<TSampleImage> PatternImages();

}  // namespace bwtest
