#pragma once
// Builds texture images in code, as texture libraries store them: DDS files
// of DXT blocks or of packed pixels described by masks, and TGA files of
// every type. Used by the tests and by the fuzzers' seed corpus.

#include <array>
#include <cstdint>
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

}  // namespace bwtest
