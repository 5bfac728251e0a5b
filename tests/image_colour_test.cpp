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

TEST(ImageColour, DamagedOrForeignImagesGiveFalse) {
  for (const TSampleImage& c : DamagedImages()) EXPECT_EQ(Mean(c.Data), "false") << c.Name;
}

}  // namespace
