#include "image_builder.h"

#include <algorithm>
#include <bit>
#include <tuple>

namespace bwtest {
namespace {

using TColour = TTexel;

// A fixed sequence, so that every build writes the same images.
class TRand {
 public:
  explicit TRand(uint32_t seed) : FState(seed) {}
  uint32_t Next(uint32_t bound) {
    FState = FState * 1664525u + 1013904223u;
    return (FState >> 8) % bound;
  }

 private:
  uint32_t FState;
};

uint32_t Quantise(uint8_t value, uint32_t max) {
  return (value * max + 127) / 255;
}

// Reddish texels with a green ramp across and little blue, so that any
// channel read as another moves the mean far; equal neighbours come in
// runs of any length, up to past a run packet's 128.
std::vector<TColour> Texels(uint32_t width, uint32_t height, uint32_t seed) {
  TRand rand(seed);
  std::vector<TColour> texels;
  TColour current{};
  uint32_t run = 0;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      if (run == 0) {
        const uint32_t ramp = width > 1 ? x * 255 / (width - 1) : 128;
        current = {static_cast<uint8_t>(160 + rand.Next(96)),
                   static_cast<uint8_t>(ramp * 3 / 4 + rand.Next(64)), static_cast<uint8_t>(rand.Next(80))};
        run = rand.Next(8) == 0 ? 100 + rand.Next(100) : 1 + rand.Next(4);
      }
      --run;
      texels.push_back(current);
    }
  return texels;
}

uint32_t Pack(const TColour& c, uint8_t alpha, const std::array<uint32_t, 4>& masks) {
  uint32_t pixel = 0;
  const uint8_t values[4] = {c[0], c[1], c[2], alpha};
  for (int k = 0; k < 4; ++k) {
    if (masks[k] == 0) continue;
    const int shift = std::countr_zero(masks[k]);
    pixel |= (Quantise(values[k], masks[k] >> shift) << shift) & masks[k];
  }
  return pixel;
}

uint16_t Colour565(TRand& rand, uint32_t ramp) {
  const uint32_t r = 18 + rand.Next(14), g = std::min<uint32_t>(63, ramp + rand.Next(16)), b = rand.Next(10);
  return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

void PutDxtLevel(Bytes& out, int kind, uint32_t width, uint32_t height, TRand& rand, bool threeColour) {
  const uint32_t across = (width + 3) / 4, down = (height + 3) / 4;
  for (uint32_t by = 0; by < down; ++by)
    for (uint32_t bx = 0; bx < across; ++bx) {
      if (kind != 1)
        for (int k = 0; k < 8; ++k) out.push_back(static_cast<uint8_t>(rand.Next(256)));
      const uint32_t ramp = across > 1 ? bx * 48 / (across - 1) : 24;
      uint16_t c0 = Colour565(rand, ramp), c1 = Colour565(rand, ramp);
      if (c0 == c1) c1 ^= 0x0021;
      // Half the blocks in each order where three-colour blocks may show.
      const bool wantFour = !threeColour || rand.Next(2) == 0;
      if ((c0 > c1) != wantFour) std::swap(c0, c1);
      PutU16(out, c0);
      PutU16(out, c1);
      PutU32(out, rand.Next(1u << 16) << 16 | rand.Next(1u << 16));
    }
}

void PutTgaColour(Bytes& out, const TColour& c, uint8_t depth) {
  switch (depth) {
    case 8: out.push_back(c[0]); break;
    case 15:
    case 16: {
      const uint32_t v = Quantise(c[0], 31) << 10 | Quantise(c[1], 31) << 5 | Quantise(c[2], 31);
      PutU16(out, static_cast<uint16_t>(depth == 16 ? v | 0x8000 : v));
      break;
    }
    default:
      out.insert(out.end(), {c[2], c[1], c[0]});
      if (depth == 32) out.push_back(static_cast<uint8_t>(c[0] ^ c[2]));
  }
}

// A TGA sample of the given type and depth, 23 x 17, with an image id on
// some; colour-mapped ones index a map of `mapDepth` entries.
TSampleImage TgaSample(const std::string& name, uint8_t type, uint8_t depth, uint8_t mapDepth,
                       uint32_t seed) {
  TTgaImage tga;
  tga.Type = type;
  tga.Depth = depth;
  tga.Width = 23;
  tga.Height = 17;
  if (seed % 2) tga.Id = "bodwright test";
  const std::vector<TColour> texels = Texels(tga.Width, tga.Height, seed);
  Bytes raw;
  if (type % 8 == 1) {
    // The map: 40 colours of the texels' kind; each texel takes the entry
    // its red and blue pick.
    tga.MapType = 1;
    tga.MapDepth = mapDepth;
    tga.MapCount = 40;
    const std::vector<TColour> entries = Texels(tga.MapCount, 1, seed + 1);
    for (const TColour& c : entries) PutTgaColour(tga.Map, c, mapDepth);
    for (const TColour& c : texels) raw.push_back(static_cast<uint8_t>((c[0] + c[2]) % tga.MapCount));
  } else {
    for (const TColour& c : texels) PutTgaColour(raw, c, depth);
  }
  tga.Pixels = type >= 9 ? TgaRle(raw, (depth + 7u) / 8) : raw;
  return {name, BuildTga(tga)};
}

TSampleImage MaskedSample(const std::string& name, uint32_t flags, uint32_t bits,
                          std::array<uint32_t, 4> masks, uint32_t seed, bool magickReads = true) {
  const uint32_t width = 19, height = 13;
  std::vector<uint32_t> pixels;
  for (const TColour& c : Texels(width, height, seed))
    pixels.push_back(Pack(c, static_cast<uint8_t>(c[1] ^ 0x5a), masks));
  return {name, MaskedDds(width, height, {flags, 0, bits, masks}, pixels), magickReads};
}

uint16_t To565(const TTexel& c) {
  return static_cast<uint16_t>(Quantise(c[0], 31) << 11 | Quantise(c[1], 63) << 5 | Quantise(c[2], 31));
}

// Each 4 x 4 block gets its first texel's colour as c0 and the first other
// one's as c1, in four-colour order; each texel takes whichever it equals.
void PutPaintedDxt1(Bytes& out, uint32_t width, uint32_t height, const TPaint& paint) {
  for (uint32_t by = 0; by < (height + 3) / 4; ++by)
    for (uint32_t bx = 0; bx < (width + 3) / 4; ++bx) {
      std::vector<uint16_t> texels;
      for (uint32_t y = 4 * by; y < 4 * by + 4; ++y)
        for (uint32_t x = 4 * bx; x < 4 * bx + 4; ++x)
          texels.push_back(To565(paint(std::min(x, width - 1), std::min(y, height - 1), width, height)));
      uint16_t c0 = texels[0], c1 = texels[0];
      for (uint16_t t : texels)
        if (t != c0) c1 = t;
      if (c0 < c1) std::swap(c0, c1);
      uint32_t indices = 0;
      for (size_t k = 0; k < texels.size(); ++k)
        if (texels[k] != c0) indices |= 1u << (2 * k);
      PutU16(out, c0);
      PutU16(out, c1);
      PutU32(out, indices);
    }
}

// Copies of an image with bytes put in or cut off.
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

Bytes SmallTga(uint8_t type, uint8_t depth, Bytes pixels, uint16_t width, uint16_t height) {
  TTgaImage tga;
  tga.Type = type;
  tga.Depth = depth;
  tga.Width = width;
  tga.Height = height;
  tga.Pixels = std::move(pixels);
  return BuildTga(tga);
}

}  // namespace

std::string Text(const TTexel& c) {
  return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

TTexel Quadrants(uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  return bottom ? (right ? kYellow : kBlue) : (right ? kGreen : kRed);
}

Bytes PaintedImage(EPaintedForm form, uint32_t width, uint32_t height, const TPaint& paint,
                   const TPaint& lowerLevels) {
  if (form == EPaintedForm::Dxt1 || form == EPaintedForm::Dds24) {
    const bool dxt = form == EPaintedForm::Dxt1;
    const TDdsFormat format = dxt ? TDdsFormat{kDdsFourCC, MakeFourCC("DXT1"), 0, {}}
                                  : TDdsFormat{kDdsRgb, 0, 24, {0xff0000, 0xff00, 0xff, 0}};
    uint32_t levels = 1;
    if (lowerLevels)
      for (uint32_t w = width, h = height; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        ++levels;
    Bytes out = DdsHeader(width, height, format, levels);
    for (uint32_t level = 0; level < levels; ++level) {
      const TPaint& levelPaint = level == 0 ? paint : lowerLevels;
      if (dxt) {
        PutPaintedDxt1(out, width, height, levelPaint);
      } else {
        for (uint32_t y = 0; y < height; ++y)
          for (uint32_t x = 0; x < width; ++x) {
            const TTexel c = levelPaint(x, y, width, height);
            out.insert(out.end(), {c[2], c[1], c[0]});
          }
      }
      width = std::max(1u, width / 2);
      height = std::max(1u, height / 2);
    }
    return out;
  }
  TTgaImage tga;
  tga.Width = static_cast<uint16_t>(width);
  tga.Height = static_cast<uint16_t>(height);
  tga.Origin = form == EPaintedForm::TgaBottomLeft    ? 0
               : form == EPaintedForm::TgaTopRightRle ? kTgaTopDown | kTgaRightToLeft
                                                      : kTgaTopDown;
  Bytes raw;
  for (uint32_t row = 0; row < height; ++row)
    for (uint32_t column = 0; column < width; ++column) {
      const uint32_t y = tga.Origin & kTgaTopDown ? row : height - 1 - row;
      const uint32_t x = tga.Origin & kTgaRightToLeft ? width - 1 - column : column;
      PutTgaColour(raw, paint(x, y, width, height), 24);
    }
  tga.Type = form == EPaintedForm::TgaTopRightRle ? 10 : 2;
  tga.Pixels = tga.Type == 10 ? TgaRle(raw, 3) : raw;
  return BuildTga(tga);
}

std::vector<TSampleImage> PatternImages() {
  const auto turned = [](uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    const TTexel c = Quadrants(x, y, w, h);
    return TTexel{c[2], c[0], c[1]};
  };
  return {
      {"pattern_dxt1.dds", PaintedImage(EPaintedForm::Dxt1, 16, 12, Quadrants)},
      {"pattern_rgb888.dds", PaintedImage(EPaintedForm::Dds24, 16, 12, Quadrants)},
      {"pattern_bottom_left.tga", PaintedImage(EPaintedForm::TgaBottomLeft, 16, 12, Quadrants)},
      {"pattern_top_left.tga", PaintedImage(EPaintedForm::TgaTopLeft, 16, 12, Quadrants)},
      {"pattern_top_right_rle.tga", PaintedImage(EPaintedForm::TgaTopRightRle, 16, 12, Quadrants)},
      {"pattern_chain_dxt1.dds", PaintedImage(EPaintedForm::Dxt1, 256, 8, Quadrants, turned)},
  };
}

Bytes DdsHeader(uint32_t width, uint32_t height, const TDdsFormat& format, uint32_t mipCount) {
  const bool compressed = format.Flags & kDdsFourCC;
  const uint32_t blockBytes = format.FourCC == MakeFourCC("DXT1") ? 8 : 16;
  Bytes out = {'D', 'D', 'S', ' '};
  PutU32(out, 124);
  // Caps, height, width, pixel format; then the pitch or linear size, and
  // the mipmap count when there is a chain.
  PutU32(out, 0x1007 | (compressed ? 0x80000 : 0x8) | (mipCount > 1 ? 0x20000 : 0));
  PutU32(out, height);
  PutU32(out, width);
  PutU32(out, compressed ? std::max(1u, (width + 3) / 4) * std::max(1u, (height + 3) / 4) * blockBytes
                         : width * (format.Bits / 8));
  PutU32(out, 0);
  PutU32(out, mipCount);
  for (int k = 0; k < 11; ++k) PutU32(out, 0);
  PutU32(out, 32);
  PutU32(out, format.Flags);
  PutU32(out, format.FourCC);
  PutU32(out, format.Bits);
  for (uint32_t mask : format.Masks) PutU32(out, mask);
  PutU32(out, 0x1000 | (mipCount > 1 ? 0x400008 : 0));
  for (int k = 0; k < 4; ++k) PutU32(out, 0);
  return out;
}

Bytes DxtDds(int kind, uint32_t width, uint32_t height, uint32_t seed, bool threeColour, bool mips) {
  const char name[5] = {'D', 'X', 'T', static_cast<char>('0' + kind), 0};
  uint32_t levels = 1;
  if (mips)
    for (uint32_t w = width, h = height; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2))
      ++levels;
  Bytes out = DdsHeader(width, height, {kDdsFourCC, MakeFourCC(name), 0, {}}, levels);
  TRand rand(seed);
  for (uint32_t level = 0; level < levels; ++level) {
    PutDxtLevel(out, kind, width, height, rand, threeColour || kind != 1);
    width = std::max(1u, width / 2);
    height = std::max(1u, height / 2);
  }
  return out;
}

Bytes MaskedDds(uint32_t width, uint32_t height, const TDdsFormat& format,
                const std::vector<uint32_t>& pixels) {
  Bytes out = DdsHeader(width, height, format);
  for (uint32_t pixel : pixels)
    for (uint32_t k = 0; k < format.Bits / 8; ++k) out.push_back(static_cast<uint8_t>(pixel >> (8 * k)));
  return out;
}

Bytes BuildTga(const TTgaImage& tga) {
  Bytes out = {static_cast<uint8_t>(tga.Id.size()), tga.MapType, tga.Type};
  PutU16(out, tga.MapFirst);
  PutU16(out, tga.MapCount);
  out.push_back(tga.MapDepth);
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, tga.Width);
  PutU16(out, tga.Height);
  out.push_back(tga.Depth);
  out.push_back(static_cast<uint8_t>(tga.Origin | (tga.Depth == 32 ? 0x08 : tga.Depth == 16 ? 0x01 : 0)));
  out.insert(out.end(), tga.Id.begin(), tga.Id.end());
  out.insert(out.end(), tga.Map.begin(), tga.Map.end());
  out.insert(out.end(), tga.Pixels.begin(), tga.Pixels.end());
  return out;
}

Bytes TgaRle(const Bytes& raw, size_t pixelBytes) {
  const size_t count = raw.size() / pixelBytes;
  const auto same = [&](size_t a, size_t b) {
    return std::equal(raw.begin() + a * pixelBytes, raw.begin() + (a + 1) * pixelBytes,
                      raw.begin() + b * pixelBytes);
  };
  Bytes out;
  size_t i = 0;
  while (i < count) {
    size_t n = 1;
    if (i + 1 < count && same(i, i + 1)) {
      while (i + n < count && n < 128 && same(i, i + n)) ++n;
      out.push_back(static_cast<uint8_t>(0x80 | (n - 1)));
      out.insert(out.end(), raw.begin() + i * pixelBytes, raw.begin() + (i + 1) * pixelBytes);
    } else {
      while (i + n < count && n < 128 && !(i + n + 1 < count && same(i + n, i + n + 1))) ++n;
      out.push_back(static_cast<uint8_t>(n - 1));
      out.insert(out.end(), raw.begin() + i * pixelBytes, raw.begin() + (i + n) * pixelBytes);
    }
    i += n;
  }
  return out;
}

std::vector<TSampleImage> SampleImages() {
  std::vector<TSampleImage> images = {
      {"dxt1_four_colour.dds", DxtDds(1, 13, 11, 1, false, true)},
      {"dxt1_three_colour.dds", DxtDds(1, 13, 11, 2, true)},
      {"dxt3.dds", DxtDds(3, 10, 9, 3, true)},
      {"dxt5.dds", DxtDds(5, 9, 13, 4, true)},
      MaskedSample("rgb565.dds", kDdsRgb, 16, {0xf800, 0x07e0, 0x001f, 0}, 5),
      MaskedSample("argb1555.dds", kDdsRgb | kDdsAlphaPixels, 16, {0x7c00, 0x03e0, 0x001f, 0x8000}, 6),
      MaskedSample("argb4444.dds", kDdsRgb | kDdsAlphaPixels, 16, {0x0f00, 0x00f0, 0x000f, 0xf000}, 7),
      MaskedSample("rgb888.dds", kDdsRgb, 24, {0xff0000, 0xff00, 0xff, 0}, 8),
      MaskedSample("xrgb8888.dds", kDdsRgb, 32, {0xff0000, 0xff00, 0xff, 0}, 9),
      MaskedSample("argb8888.dds", kDdsRgb | kDdsAlphaPixels, 32, {0xff0000, 0xff00, 0xff, 0xff000000}, 10),
      // Masks that ImageMagick does not follow.
      MaskedSample("xrgb555.dds", kDdsRgb, 16, {0x7c00, 0x03e0, 0x001f, 0}, 11, false),
      MaskedSample("bgr888.dds", kDdsRgb, 24, {0xff, 0xff00, 0xff0000, 0}, 12, false),
      MaskedSample("abgr8888.dds", kDdsRgb | kDdsAlphaPixels, 32, {0xff, 0xff00, 0xff0000, 0xff000000}, 13,
                   false),
      MaskedSample("a2rgb10.dds", kDdsRgb | kDdsAlphaPixels, 32, {0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}, 14,
                   false),
      MaskedSample("rgb332_in16.dds", kDdsRgb, 16, {0xe0, 0x1c, 0x03, 0}, 15, false),
  };
  const std::vector<std::tuple<std::string, uint8_t, uint8_t, uint8_t>> tgas = {
      {"grey8", 3, 8, 0},   {"mapped24", 1, 8, 24}, {"mapped16", 1, 8, 16}, {"mapped32", 1, 8, 32},
      {"true15", 2, 15, 0}, {"true16", 2, 16, 0},   {"true24", 2, 24, 0},   {"true32", 2, 32, 0},
  };
  uint32_t seed = 20;
  for (const auto& [name, type, depth, mapDepth] : tgas) {
    images.push_back(TgaSample(name + ".tga", type, depth, mapDepth, seed++));
    images.push_back(TgaSample(name + "_rle.tga", static_cast<uint8_t>(type + 8), depth, mapDepth, seed++));
  }
  return images;
}

std::vector<TSampleImage> DamagedImages() {
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
  return {
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
      {"true colour of 8 bits", SmallTga(2, 8, {1, 2}, 2, 1)},
      {"grey of 24 bits", SmallTga(3, 24, {1, 2, 3, 4, 5, 6}, 2, 1)},
      {"map type 2", With(mapped, 1, {2})},
      {"colour-mapped without a map", With(mapped, 1, {0})},
      {"colour map of 8-bit entries", With(mapped, 7, {8})},
      {"colour-mapped of 24-bit indices", With(mapped, 16, {24})},
      {"raw pixels a byte short", Cut(SmallTga(2, 24, {1, 2, 3, 4, 5, 6}, 2, 1), 1)},
      {"image id past the end", With(SmallTga(2, 24, {1, 2, 3, 4, 5, 6}, 2, 1), 0, {255})},
      {"colour map past the end", With(mapped, kTgaMapCountAt, {0xe8, 0x03})},
      {"run packet past the image", With(greyRle, 18 + 2, {0x82})},
      {"stored packet past the image", With(greyRle, 18 + 2, {0x02})},
      {"packets ending mid-packet", Cut(greyRle, 1)},
      {"packets ending before the image does", With(greyRle, kTgaHeightAt, {3, 0})},
      {"run packets claiming 65535 x 65535 over 10 bytes",
       With(With(greyRle, kTgaWidthAt, {0xff, 0xff}), kTgaHeightAt, {0xff, 0xff})},
      {"raw pixels claiming 65535 x 65535",
       With(With(SmallTga(3, 8, {1, 2}, 2, 1), kTgaWidthAt, {0xff, 0xff}), kTgaHeightAt, {0xff, 0xff})},
  };
}


}  // namespace bwtest
