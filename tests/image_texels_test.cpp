#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_colour.h"
#include "image/image_texels.h"
#include "image_builder.h"
#include "test_support.h"

using namespace bw;
using namespace bwtest;

namespace {

// The reduced copy of an exact-size copy of the bytes (so that a read past
// the end meets the sanitizer); a failure must leave `out` as it was.
bool Reduce(const Bytes& image, TTexels& out) {
  const std::vector<uint8_t> exact(image.begin(), image.end());
  return ReducedTexels(exact, out);
}

// The copy's sizes, "W x H", with the texel count where it is not their
// product; "false" when it was refused.
std::string Shape(const Bytes& image, TTexels& out) {
  if (!Reduce(image, out)) return "false";
  std::string shape = std::to_string(out.Width) + " x " + std::to_string(out.Height);
  if (out.Rgb.size() != static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height))
    shape += " with " + std::to_string(out.Rgb.size()) + " texels";
  return shape;
}
std::string Shape(int32_t width, int32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

Bytes Named(const std::vector<TSampleImage>& images, const std::string& name) {
  for (const TSampleImage& image : images)
    if (image.Name == name) return image.Data;
  ADD_FAILURE() << "no image " << name;
  return {};
}

// ---- Where the texels land ----

TEST(ImageTexels, PatternShowsTheSameWayInEveryForm) {
  for (const std::string name : {"pattern_dxt1.dds", "pattern_rgb888.dds", "pattern_bottom_left.tga",
                                 "pattern_top_left.tga", "pattern_top_right_rle.tga"}) {
    SCOPED_TRACE(name);
    TTexels texels;
    ASSERT_EQ(Shape(Named(PatternImages(), name), texels), "16 x 12");
    EXPECT_EQ(Text(texels.At(0, 0)), Text(kRed)) << "top left";
    EXPECT_EQ(Text(texels.At(15, 0)), Text(kGreen)) << "top right";
    EXPECT_EQ(Text(texels.At(0, 11)), Text(kBlue)) << "bottom left";
    EXPECT_EQ(Text(texels.At(15, 11)), Text(kYellow)) << "bottom right";
    int wrong = 0;
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const TTexel c = Quadrants(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 16, 12);
        wrong += texels.At(x, y) == TRgb{c[0], c[1], c[2]} ? 0 : 1;
      }
    EXPECT_EQ(wrong, 0) << "texels away from their place";
  }
}

// An image that fits is its own reduced copy: its texels' mean is the
// image's mean colour, whatever the form.
TEST(ImageTexels, ImageThatFitsKeepsEveryTexel) {
  for (const TSampleImage& sample : SampleImages()) {
    SCOPED_TRACE(sample.Name);
    TRgb mean;
    ASSERT_TRUE(MeanColour(sample.Data, mean));
    TTexels texels;
    const std::string shape = Shape(sample.Data, texels);
    ASSERT_EQ(shape, Shape(texels.Width, texels.Height));
    uint64_t sums[3] = {};
    for (const TRgb& c : texels.Rgb) {
      sums[0] += c.R;
      sums[1] += c.G;
      sums[2] += c.B;
    }
    const uint64_t n = texels.Rgb.size();
    const TRgb ofTexels{static_cast<uint8_t>((sums[0] + n / 2) / n), static_cast<uint8_t>((sums[1] + n / 2) / n),
                        static_cast<uint8_t>((sums[2] + n / 2) / n)};
    EXPECT_EQ(Text(ofTexels), Text(mean));
  }
}

// ---- The box filter ----

TTexel SplitAt(uint32_t x, uint32_t column, const TTexel& left, const TTexel& right) {
  return x < column ? left : right;
}

struct TProbe {
  int32_t X, Y;
  TTexel Rgb;
};

TEST(ImageTexels, LargeImagesAreBoxFilteredKeepingTheirShape) {
  // Columns 0..99 red, the rest green: reduced texel 42 of 128 covers
  // source columns 98.44 to 100.78, two thirds of it red.
  const TPaint redThenGreen = [](uint32_t x, uint32_t, uint32_t, uint32_t) {
    return SplitAt(x, 100, kRed, kGreen);
  };
  // Rows 0..99 red, the rest blue, stored from the bottom.
  const TPaint redOverBlue = [](uint32_t, uint32_t y, uint32_t, uint32_t) { return SplitAt(y, 100, kRed, kBlue); };
  const struct {
    const char* Name;
    Bytes Image;
    int32_t Width, Height;
    std::vector<TProbe> Probes;
  } cases[] = {
      {"256 x 256 quadrants, halved exactly",
       PaintedImage(EPaintedForm::Dds24, 256, 256, Quadrants),
       128,
       128,
       {{0, 0, kRed}, {63, 63, kRed}, {64, 0, kGreen}, {127, 0, kGreen}, {0, 64, kBlue}, {127, 127, kYellow}}},
      {"512 x 256 DXT1 quadrants",
       PaintedImage(EPaintedForm::Dxt1, 512, 256, Quadrants),
       128,
       64,
       {{0, 0, kRed}, {127, 0, kGreen}, {0, 63, kBlue}, {127, 63, kYellow}, {63, 31, kRed}, {64, 32, kYellow}}},
      {"300 x 200, an edge inside a reduced texel",
       PaintedImage(EPaintedForm::TgaTopLeft, 300, 200, redThenGreen),
       128,
       85,
       {{41, 0, kRed}, {42, 0, {170, 85, 0}}, {42, 84, {170, 85, 0}}, {43, 40, kGreen}}},
      {"200 x 300 stored from the bottom, an edge inside a reduced row",
       PaintedImage(EPaintedForm::TgaBottomLeft, 200, 300, redOverBlue),
       85,
       128,
       {{0, 41, kRed}, {0, 42, {170, 0, 85}}, {84, 42, {170, 0, 85}}, {0, 43, kBlue}}},
      {"1000 x 3 quadrants: one row, a third of it from the top row",
       PaintedImage(EPaintedForm::TgaTopRightRle, 1000, 3, Quadrants),
       128,
       1,
       {{0, 0, {85, 0, 170}}, {63, 0, {85, 0, 170}}, {64, 0, {170, 255, 0}}, {127, 0, {170, 255, 0}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTexels texels;
    ASSERT_EQ(Shape(c.Image, texels), Shape(c.Width, c.Height));
    for (const TProbe& p : c.Probes)
      EXPECT_EQ(Text(texels.At(p.X, p.Y)), Text(p.Rgb)) << "at " << p.X << "," << p.Y;
  }
}

// ---- A DDS file's own lower levels ----

TEST(ImageTexels, WholeLowerLevelIsUsedElseTheFirstIsFiltered) {
  // 256 x 8 DXT1: the first level 1024 bytes, the second (128 x 4, the
  // pattern's colours turned: red shows green, yellow cyan) 256.
  const Bytes chain = Named(PatternImages(), "pattern_chain_dxt1.dds");
  const size_t secondEnds = kDdsDataAt + 1024 + 256;
  const TPaint turned = [](uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    const TTexel c = Quadrants(x, y, w, h);
    return TTexel{c[2], c[0], c[1]};
  };
  Bytes noCount = chain;
  SetU32(noCount, 8, 0x1007 | 0x80000);  // the mipmap count's flag clear
  const struct {
    const char* Name;
    Bytes Image;
    int32_t Width, Height;
    bool Lower;
  } cases[] = {
      {"the whole chain", chain, 128, 4, true},
      {"the chain up to the level used", Bytes(chain.begin(), chain.begin() + secondEnds), 128, 4, true},
      {"the level used a byte short", Bytes(chain.begin(), chain.begin() + secondEnds - 1), 128, 4, false},
      {"a count without its flag", noCount, 128, 4, false},
      {"512 x 384: the third level", PaintedImage(EPaintedForm::Dds24, 512, 384, Quadrants, turned), 128, 96,
       true},
      {"1024 x 16: the fourth level, 128 x 2", PaintedImage(EPaintedForm::Dxt1, 1024, 16, Quadrants, turned),
       128, 2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTexels texels;
    ASSERT_EQ(Shape(c.Image, texels), Shape(c.Width, c.Height));
    const uint32_t w = static_cast<uint32_t>(c.Width), h = static_cast<uint32_t>(c.Height);
    for (const auto& [x, y] : {std::pair<uint32_t, uint32_t>{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}}) {
      const TTexel want = c.Lower ? turned(x, y, w, h) : Quadrants(x, y, w, h);
      EXPECT_EQ(Text(texels.At(static_cast<int32_t>(x), static_cast<int32_t>(y))), Text(want))
          << "at " << x << "," << y;
    }
  }
}

// ---- Damaged and foreign images ----

TEST(ImageTexels, DamagedOrForeignImagesGiveFalseAndLeaveTheCopy) {
  TTexels kept;
  kept.Width = 1;
  kept.Height = 1;
  kept.Rgb = {{1, 2, 3}};
  for (const TSampleImage& c : DamagedImages()) {
    TTexels out = kept;
    EXPECT_FALSE(Reduce(c.Data, out)) << c.Name;
    EXPECT_TRUE(out.Width == 1 && out.Height == 1 && out.Rgb == kept.Rgb) << c.Name << ": the copy changed";
  }
}

}  // namespace
