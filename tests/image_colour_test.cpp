#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "image/image_colour.h"
#include "image_builder.h"
#include "test_support.h"

using namespace bw;
using namespace bwtest;

namespace {

std::string Text(const TRgb& c) {
  return std::to_string(c.R) + "," + std::to_string(c.G) + "," + std::to_string(c.B);
}

// The mean, or "false"; a failure must leave the caller's colour as it was.
std::string Mean(const Bytes& image) {
  // An exact-size copy, so that a read past the end meets the sanitizer.
  const std::vector<uint8_t> exact(image.begin(), image.end());
  TRgb mean{1, 2, 3};
  if (MeanColour(exact, mean)) return Text(mean);
  return mean == TRgb{1, 2, 3} ? "false" : "false, colour changed to " + Text(mean);
}

// ---- ImageMagick as the reference ----

// ImageMagick's convert on the PATH; none on Windows, whose own convert
// is another program.
std::optional<std::string> FindMagick() {
#ifdef _WIN32
  return std::nullopt;
#else
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const fs::path candidate = fs::path(dirs.substr(start, end - start)) / "convert";
    start = end + 1;
    std::error_code ec;
    if (!fs::is_regular_file(candidate, ec)) continue;
    if (RunProcess(candidate.string(), {"-version"}).Out.rfind("Version: ImageMagick", 0) == 0)
      return candidate.string();
  }
  return std::nullopt;
#endif
}

// ImageMagick's box mean of the file's first level with alpha off, on the
// 0..255 scale; empty when it could not read the file.
std::optional<std::array<double, 3>> MagickMean(const std::string& convert, const std::string& file) {
  const TProcessResult run = RunProcess(convert, {file + "[0]", "-alpha", "off", "-scale", "1x1!", "txt:-"});
  // "# ImageMagick pixel enumeration: 1,1,<max>,<space>" then "0,0: (v,...)":
  // one value for a grey image, three (or more) for a colour one.
  const std::string& out = run.Out;
  const size_t header = out.find("enumeration: 1,1,");
  const size_t values = out.find("0,0: (");
  if (run.Status != 0 || header == std::string::npos || values == std::string::npos) return std::nullopt;
  const double max = std::strtod(out.c_str() + header + 17, nullptr);
  std::vector<double> v;
  const char* p = out.c_str() + values + 6;
  for (char* end = nullptr;; p = end + 1) {
    v.push_back(std::strtod(p, &end) * 255 / max);
    if (*end != ',') break;
  }
  if (v.size() < 3) v.resize(3, v[0]);
  return std::array<double, 3>{v[0], v[1], v[2]};
}

TEST(ImageColour, AgreesWithImageMagickOnEveryForm) {
  const std::optional<std::string> convert = FindMagick();
  if (!convert) GTEST_SKIP() << "ImageMagick's convert is not on the PATH (Debian package imagemagick)";
  TTempDir dir;
  int compared = 0;
  for (const TSampleImage& sample : SampleImages()) {
    if (!sample.MagickReads) continue;
    SCOPED_TRACE(sample.Name);
    const std::string file = dir.File(sample.Name);
    WriteFileBytes(file, sample.Data);
    TRgb ours;
    ASSERT_TRUE(MeanColour(sample.Data, ours));
    const auto theirs = MagickMean(*convert, file);
    ASSERT_TRUE(theirs) << "ImageMagick could not read it";
    const int got[3] = {ours.R, ours.G, ours.B};
    double worst = 0;
    for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(got[k] - (*theirs)[k]));
    std::printf("  %-22s ours %3d %3d %3d  ImageMagick %6.2f %6.2f %6.2f  max difference %.2f\n",
                sample.Name.c_str(), got[0], got[1], got[2], (*theirs)[0], (*theirs)[1], (*theirs)[2], worst);
    EXPECT_LE(worst, 2.0) << "ours " << Text(ours);
    ++compared;
  }
  EXPECT_EQ(compared, 26);
}

// ---- Colours put in by the test ----

struct TMaskCase {
  const char* Name;
  uint32_t Bits;
  std::array<uint32_t, 4> Masks;
  std::vector<uint32_t> Pixels;
  const char* Mean;
};

TEST(ImageColour, PackedPixelsFollowTheirMasks) {
  const TMaskCase cases[] = {
      {"24 bits, red in the low byte", 24, {0xff, 0xff00, 0xff0000, 0}, {0x1e140a, 0x5a3c1e}, "20,40,60"},
      {"32 bits, alpha ignored",
       32,
       {0xff, 0xff00, 0xff0000, 0xff000000},
       {0x805a3c1e, 0xff000000},
       "15,30,45"},
      {"555 with a spare top bit",
       16,
       {0x7c00, 0x03e0, 0x001f, 0},
       {31u << 10 | 16u << 5, 0x8000 | 0x3ff},
       "128,194,128"},
      {"10-bit channels", 32, {0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}, {0xfff80000}, "255,128,0"},
      {"332 in the low byte of 16",
       16,
       {0xe0, 0x1c, 0x03, 0},
       {0xff00 | 7u << 5 | 3u << 2 | 2},
       "255,109,170"},
      {"a channel without mask", 16, {0, 0xff00, 0xff, 0}, {0x40c0}, "0,64,192"},
      {"means rounded to nearest", 24, {0xff0000, 0xff00, 0xff, 0}, {0, 0x0102ff}, "1,1,128"},
  };
  for (const TMaskCase& c : cases) {
    const uint32_t flags = c.Masks[3] ? kDdsRgb | kDdsAlphaPixels : kDdsRgb;
    const Bytes image =
        MaskedDds(static_cast<uint32_t>(c.Pixels.size()), 1, {flags, 0, c.Bits, c.Masks}, c.Pixels);
    EXPECT_EQ(Mean(image), c.Mean) << c.Name;
  }
}

// One DXT block: its two colours, then its indices (two bits a texel, the
// first texel lowest), after a DXT3/DXT5 alpha half of noise.
Bytes Block(int kind, uint16_t c0, uint16_t c1, uint32_t indices) {
  Bytes b;
  if (kind != 1) b = {0xff, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc};
  PutU16(b, c0);
  PutU16(b, c1);
  PutU32(b, indices);
  return b;
}

Bytes Dxt(int kind, uint32_t width, uint32_t height, const std::vector<Bytes>& blocks) {
  const char name[5] = {'D', 'X', 'T', static_cast<char>('0' + kind), 0};
  Bytes image = DdsHeader(width, height, {kDdsFourCC, MakeFourCC(name), 0, {}});
  for (const Bytes& b : blocks) image.insert(image.end(), b.begin(), b.end());
  return image;
}

TEST(ImageColour, DxtPalettesAndEdgeBlocks) {
  const uint16_t red = 0xf800, blue = 0x001f;
  const uint32_t all2 = 0xaaaaaaaa, all3 = 0xffffffff;
  struct TCase {
    const char* Name;
    Bytes Image;
    const char* Mean;
  } cases[] = {
      {"DXT1 four colours: index 2 is two thirds c0", Dxt(1, 4, 4, {Block(1, red, blue, all2)}), "170,0,85"},
      {"DXT1 three colours: index 2 halfway", Dxt(1, 4, 4, {Block(1, blue, red, all2)}), "127,0,127"},
      {"DXT1 three colours: index 3 black", Dxt(1, 4, 4, {Block(1, blue, red, all3)}), "0,0,0"},
      {"DXT1 equal colours are three-colour", Dxt(1, 4, 4, {Block(1, red, red, all3)}), "0,0,0"},
      {"DXT3 c0 <= c1 still four colours", Dxt(3, 4, 4, {Block(3, blue, red, all3)}), "170,0,85"},
      {"DXT5 c0 <= c1 still four colours", Dxt(5, 4, 4, {Block(5, blue, red, all3)}), "170,0,85"},
      // Texels outside the image are blue (index 1), inside red (index 0).
      {"2 x 3 corner of a block", Dxt(1, 2, 3, {Block(1, red, blue, 0x55505050)}), "255,0,0"},
      {"5 x 1: a whole block and one texel",
       Dxt(1, 5, 1, {Block(1, red, blue, 0), Block(1, red, blue, 0x55555551)}), "204,0,51"},
  };
  for (const TCase& c : cases) EXPECT_EQ(Mean(c.Image), c.Mean) << c.Name;

  // Only the first level is read: the chain may be cut short, or not be there.
  const Bytes chain = DxtDds(1, 13, 11, 1, false, true);
  const Bytes firstLevel(chain.begin(), chain.begin() + kDdsDataAt + 4 * 3 * 8);
  EXPECT_NE(Mean(chain), "false");
  EXPECT_EQ(Mean(firstLevel), Mean(chain));
}

TEST(ImageColour, ColourMapHoldsEntriesFromItsFirstIndex) {
  // Entries at positions 300 (red) and 301 (green), 24 bits each.
  const auto mapped = [](uint8_t depth, std::vector<uint16_t> indices) {
    TTgaImage tga;
    tga.Type = 1;
    tga.Depth = depth;
    tga.Width = static_cast<uint16_t>(indices.size());
    tga.MapType = 1;
    tga.MapFirst = depth == 8 ? 2 : 300;
    tga.MapCount = 2;
    tga.MapDepth = 24;
    tga.Map = {0, 0, 255, 0, 255, 0};
    for (uint16_t i : indices)
      depth == 8 ? tga.Pixels.push_back(static_cast<uint8_t>(i)) : PutU16(tga.Pixels, i);
    return BuildTga(tga);
  };
  EXPECT_EQ(Mean(mapped(8, {2, 3, 3})), "85,170,0");
  EXPECT_EQ(Mean(mapped(16, {300, 300, 301})), "170,85,0");
  EXPECT_EQ(Mean(mapped(8, {2, 1})), "false") << "below the first entry";
  EXPECT_EQ(Mean(mapped(8, {4, 2})), "false") << "past the last entry";
  EXPECT_EQ(Mean(mapped(16, {302})), "false") << "past the last entry";
}

// ---- Damaged and foreign images ----

Bytes With(Bytes image, size_t at, std::initializer_list<uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
  return image;
}
Bytes With32(Bytes image, size_t at, uint32_t value) {
  SetU32(image, at, value);
  return image;
}
Bytes Cut(Bytes image, size_t drop) {
  image.resize(image.size() - drop);
  return image;
}

Bytes SmallTga(uint8_t type, uint8_t depth, Bytes pixels, uint16_t width = 2, uint16_t height = 1) {
  TTgaImage tga;
  tga.Type = type;
  tga.Depth = depth;
  tga.Width = width;
  tga.Height = height;
  tga.Pixels = std::move(pixels);
  return BuildTga(tga);
}

TEST(ImageColour, DamagedOrForeignImagesGiveFalse) {
  const Bytes dxt1 = DxtDds(1, 13, 11, 1, false);
  const Bytes dxt5 = DxtDds(5, 9, 13, 4, true);
  const std::vector<uint32_t> fourPixels = {1, 2, 3, 4};
  const Bytes rgb565 = MaskedDds(2, 2, {kDdsRgb, 0, 16, {0xf800, 0x07e0, 0x001f, 0}}, fourPixels);
  const Bytes rgb888 = MaskedDds(2, 2, {kDdsRgb, 0, 24, {0xff0000, 0xff00, 0xff, 0}}, fourPixels);
  // Two grey pixels as one run packet, then as two stored ones.
  const Bytes greyRle = SmallTga(11, 8, {0x81, 50, 0x01, 60, 70}, 2, 2);
  Bytes mapped;
  for (const TSampleImage& sample : SampleImages())
    if (sample.Name == "mapped24.tga") mapped = sample.Data;
  ASSERT_NE(Mean(greyRle), "false");
  ASSERT_NE(Mean(mapped), "false");

  const struct {
    const char* Name;
    Bytes Image;
  } cases[] = {
      {"nothing", {}},
      {"DDS magic alone", {'D', 'D', 'S', ' '}},
      {"DDS header cut short", Bytes(dxt1.begin(), dxt1.begin() + 127)},
      {"DDS width 0", With32(dxt1, kDdsWidthAt, 0)},
      {"DDS height 0", With32(dxt1, kDdsHeightAt, 0)},
      {"DXT1 a byte short", Cut(dxt1, 1)},
      {"DXT5 a block short", Cut(dxt5, 16)},
      {"DXT1 claiming 65535 x 65535 over 10 bytes",
       With32(With32(Bytes(dxt1.begin(), dxt1.begin() + kDdsDataAt + 10), kDdsWidthAt, 65535), kDdsHeightAt,
              65535)},
      {"DXT1 claiming the largest sizes",
       With32(With32(dxt1, kDdsWidthAt, UINT32_MAX), kDdsHeightAt, UINT32_MAX)},
      {"packed pixels claiming the largest sizes",
       With32(With32(rgb888, kDdsWidthAt, UINT32_MAX), kDdsHeightAt, UINT32_MAX)},
      {"packed pixels a byte short", Cut(rgb888, 1)},
      {"DXT2 (premultiplied)", With32(dxt1, kDdsFourCCAt, MakeFourCC("DXT2"))},
      {"DX10 extended header", With32(dxt1, kDdsFourCCAt, MakeFourCC("DX10"))},
      {"ATI2", With32(dxt1, kDdsFourCCAt, MakeFourCC("ATI2"))},
      {"luminance, not RGB", With32(rgb565, kDdsFormatFlagsAt, 0x20000)},
      {"8 bits a pixel", With32(rgb565, kDdsBitsAt, 8)},
      {"48 bits a pixel", With32(rgb565, kDdsBitsAt, 48)},
      {"no bits a pixel", With32(rgb565, kDdsBitsAt, 0)},
      {"a mask past the pixel", With32(rgb565, kDdsMasksAt, 0xff0000)},
      {"no colour masks",
       With32(With32(With32(rgb565, kDdsMasksAt, 0), kDdsMasksAt + 4, 0), kDdsMasksAt + 8, 0)},
      {"TGA header cut short", Bytes(greyRle.begin(), greyRle.begin() + 17)},
      {"TGA type 0 (no image)", With(greyRle, 2, {0})},
      {"TGA type 32 (Huffman)", With(greyRle, 2, {32})},
      {"TGA width 0", With(greyRle, kTgaWidthAt, {0, 0})},
      {"TGA height 0", With(greyRle, kTgaHeightAt, {0, 0})},
      {"true colour of 8 bits", SmallTga(2, 8, {1, 2})},
      {"grey of 24 bits", SmallTga(3, 24, {1, 2, 3, 4, 5, 6})},
      {"map type 2", With(mapped, 1, {2})},
      {"colour-mapped without a map", With(mapped, 1, {0})},
      {"colour map of 8-bit entries", With(mapped, 7, {8})},
      {"colour-mapped of 24-bit indices", With(mapped, 16, {24})},
      {"raw pixels a byte short", Cut(SmallTga(2, 24, {1, 2, 3, 4, 5, 6}), 1)},
      {"image id past the end", With(SmallTga(2, 24, {1, 2, 3, 4, 5, 6}), 0, {255})},
      {"colour map past the end", With(mapped, kTgaMapCountAt, {0xe8, 0x03})},
      {"run packet past the image", With(greyRle, 18 + 2, {0x82})},
      {"stored packet past the image", With(greyRle, 18 + 2, {0x02})},
      {"packets ending mid-packet", Cut(greyRle, 1)},
      {"packets ending before the image does", With(greyRle, kTgaHeightAt, {3, 0})},
      {"run packets claiming 65535 x 65535 over 10 bytes",
       With(With(greyRle, kTgaWidthAt, {0xff, 0xff}), kTgaHeightAt, {0xff, 0xff})},
      {"raw pixels claiming 65535 x 65535",
       With(With(SmallTga(3, 8, {1, 2}), kTgaWidthAt, {0xff, 0xff}), kTgaHeightAt, {0xff, 0xff})},
  };
  for (const auto& c : cases) EXPECT_EQ(Mean(c.Image), "false") << c.Name;
}

}  // namespace
