#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "output/bitmap_font.h"
#include "output/bod_writer.h"
#include "output/preview_png.h"
#include "output/raster.h"
#include "support/errors.h"
#include "test_support.h"

#include <zlib.h>

using namespace bw;

namespace {

// The picture's layout as a viewer finds it: panels of kPngPanel pixels, 8
// apart and from the picture's left, below two lines of labels; the model
// fitted 6 pixels inside.
constexpr int kPanelTop = 32;
int PanelLeft(int view) {
  return 8 + view * (kPngPanel + 8);
}
constexpr uint32_t kPanelFill = 0xf4f4f4;
constexpr uint32_t kInk = 0x202020;

using bwtest::TPngPixels;

TPngPixels Decode(const std::string& png) {
  const TPngPixels d = bwtest::DecodePng(std::vector<uint8_t>(png.begin(), png.end()));
  if (d.Width == 0) ADD_FAILURE() << "not a PNG file stb_image reads";
  return d;
}

// Panel v's pixel at (x, y) of the panel.
uint32_t PanelAt(const TPngPixels& d, int v, int x, int y) {
  return d.At(PanelLeft(v) + x, kPanelTop + y);
}

struct TModel {
  std::vector<TPreviewPoint> Points;
  TTriList Tris;
  void Tri(int a, int b, int c, std::array<float, 6> uv = {}, int32_t mat = 0) {
    TTriRec t;
    t.A = static_cast<uint16_t>(a);
    t.B = static_cast<uint16_t>(b);
    t.C = static_cast<uint16_t>(c);
    t.UA = uv[0], t.VA = uv[1], t.UB = uv[2], t.VB = uv[3], t.UC = uv[4], t.VC = uv[5];
    t.MatIndex = mat;
    Tris.Add(t);
  }
};

// The test pattern: a flat square in the x-z plane whose corners carry the
// texture coordinates (0,0) at (-x,-z), (s,0) at (+x,-z), (0,s) at (-x,+z)
// and (s,s) at (+x,+z).
TModel Pattern(float s) {
  TModel m;
  m.Points = {{-1000, 0, -1000}, {1000, 0, -1000}, {-1000, 0, 1000}, {1000, 0, 1000}};
  m.Tri(0, 1, 3, {0, 0, s, 0, s, s});
  m.Tri(0, 3, 2, {0, 0, s, s, 0, s});
  return m;
}

// Four quadrants: top left red, top right green, bottom left blue, bottom
// right yellow.
TTexels Quadrants() {
  TTexels t;
  t.Width = t.Height = 8;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      t.Rgb.push_back(y < 4 ? (x < 4 ? TRgb{255, 0, 0} : TRgb{0, 255, 0}) : (x < 4 ? TRgb{0, 0, 255} : TRgb{255, 255, 0}));
  return t;
}

TPreviewCaption Textured(const TTexels* texels, bool texCoords = true) {
  TPreviewCaption c;
  c.InputName = "pattern.cmp";
  c.BlockName = "pattern.lod0.vms";
  c.TexCoords = texCoords;
  TPreviewMaterial m;
  m.Named = m.HasImage = m.HasColour = true;
  m.TextureName = "quadrants.tga";
  m.Rgb = 0x336699;
  m.Texels = texels;
  c.MaterialList = {m};
  return c;
}

std::string Png(const TModel& m, const TPreviewCaption& caption) {
  std::string out;
  RenderPreviewPng(m.Points, m.Tris, caption, out);
  return out;
}

// The hue of a shaded pixel: which of the pattern's colours it is.
char Hue(uint32_t rgb) {
  const int r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  const bool hr = r > 2 * b + 40, hg = g > 2 * b + 40, hb = b > 2 * std::max(r, g) + 40;
  if (hr && hg && r < 2 * g && g < 2 * r) return 'Y';
  if (hr && r > 2 * g + 40) return 'R';
  if (hg && g > 2 * r + 40) return 'G';
  return hb ? 'B' : '-';
}

// The pattern's square fills 180 pixels in the middle of the top view, x to
// the right and z down: the pixel at fractions (fx, fz) of it.
uint32_t TopAt(const TPngPixels& d, double fx, double fz) {
  const double side = kPngPanel - 12;
  return PanelAt(d, 0, static_cast<int>(6 + fx * side), static_cast<int>(6 + fz * side));
}

TEST(PngPicture, TexturesAreDrawnOnlyWhereTheyAreGivenAndHaveCoordinates) {
  const TTexels texels = Quadrants();
  TTexels empty;  // a copy that could not be made
  const struct {
    const TTexels* Texels;
    bool TexCoords;
    char Hue;  // at the top left quarter: red where drawn, else the flat colour
  } cases[] = {
      {&texels, true, 'R'},
      {&texels, false, '-'},
      {nullptr, true, '-'},
      {&empty, true, '-'},
  };
  for (const auto& c : cases) {
    const TPngPixels d = Decode(Png(Pattern(1), Textured(c.Texels, c.TexCoords)));
    const uint32_t rgb = TopAt(d, 0.25, 0.25);
    EXPECT_EQ(Hue(rgb), c.Hue);
    // Square on to the top view: the flat colour at its full brightness.
    if (c.Hue == '-') {
      EXPECT_EQ(rgb, 0x336699u);
    }
  }
}

// How many times each pixel of a w x h grid is visited.
std::map<std::pair<int, int>, int> Hits(const std::vector<std::array<TSnapped, 3>>& tris, int w, int h) {
  std::map<std::pair<int, int>, int> hits;
  for (const auto& t : tris)
    ForEachCovered(t[0], t[1], t[2], w, h, [&](int32_t x, int32_t y, int64_t wa, int64_t wb, int64_t wc, int64_t area) {
      EXPECT_TRUE(x >= 0 && x < w && y >= 0 && y < h);
      EXPECT_TRUE(wa >= 0 && wb >= 0 && wc >= 0 && wa + wb + wc == area);
      ++hits[{x, y}];
    });
  return hits;
}

TEST(Raster, TrianglesSharingEdgesCoverEachPixelOnce) {
  // Meshes whose shared edges run through pixel centres, along them and
  // between them, level, upright and slanted, wound both ways.
  const TSnapped c{8 * kSub, 8 * kSub};
  const std::vector<TSnapped> rings[] = {
      {{2 * kSub + 8, 2 * kSub + 8}, {14 * kSub + 8, 2 * kSub + 8}, {14 * kSub + 8, 14 * kSub + 8}, {2 * kSub + 8, 14 * kSub + 8}},
      {{0, 0}, {16 * kSub, 3}, {16 * kSub + 5, 16 * kSub}, {7, 16 * kSub - 1}},
      {{37, 11}, {200, 60}, {250, 201}, {90, 240}, {20, 150}},
  };
  for (const auto& ring : rings) {
    std::vector<std::array<TSnapped, 3>> fan, reversed;
    for (size_t i = 0; i < ring.size(); ++i) {
      fan.push_back({c, ring[i], ring[(i + 1) % ring.size()]});
      reversed.push_back({ring[(i + 1) % ring.size()], ring[i], c});
    }
    const auto once = Hits(fan, 20, 20);
    EXPECT_EQ(once, Hits(reversed, 20, 20));
    for (const auto& [pixel, count] : once) EXPECT_EQ(count, 1) << pixel.first << "," << pixel.second;
  }
  // A square whose sides run through centres: the top and left rows are
  // its, the bottom and right ones its neighbours'.
  const TSnapped a{2 * kSub + 8, 2 * kSub + 8}, b{5 * kSub + 8, 2 * kSub + 8}, d{5 * kSub + 8, 5 * kSub + 8},
      e{2 * kSub + 8, 5 * kSub + 8};
  const auto square = Hits({{a, b, d}, {a, d, e}}, 10, 10);
  EXPECT_EQ(square.size(), 9u);
  EXPECT_TRUE(square.count({2, 2}) && square.count({4, 4}) && !square.count({5, 5}));
}

TEST(Raster, DegenerateTinyAndFarTrianglesStayInBounds) {
  const struct {
    const char* What;
    std::array<TSnapped, 3> Tri;
    size_t Pixels;
  } cases[] = {
      {"edge-on", {{{0, 0}, {100, 100}, {200, 200}}}, 0},
      {"a point", {{{40, 40}, {40, 40}, {40, 40}}}, 0},
      {"within a pixel, around its centre", {{{5 * kSub + 6, 5 * kSub + 6}, {5 * kSub + 11, 5 * kSub + 7}, {5 * kSub + 7, 5 * kSub + 11}}}, 1},
      {"within a pixel, beside its centre", {{{5 * kSub + 1, 5 * kSub + 1}, {5 * kSub + 5, 5 * kSub + 1}, {5 * kSub + 1, 5 * kSub + 5}}}, 0},
      {"far outside", {{{-kSnapLimit, -kSnapLimit}, {-kSnapLimit + 50, -kSnapLimit}, {-kSnapLimit, -kSnapLimit + 50}}}, 0},
      {"over everything", {{{-kSnapLimit, -kSnapLimit}, {kSnapLimit, -kSnapLimit}, {0, kSnapLimit}}}, 16 * 12},
  };
  for (const auto& c : cases) {
    const auto hits = Hits({c.Tri}, 16, 12);
    EXPECT_EQ(hits.size(), c.Pixels) << c.What;
  }
  // Coordinates beyond any panel are held at the limit, NaN included.
  EXPECT_EQ(Snap(1e30, -1e30).X, kSnapLimit);
  EXPECT_EQ(Snap(1e30, -1e30).Y, -kSnapLimit);
  EXPECT_EQ(Snap(2.5, -0.53).X, 2 * kSub + 8);
  EXPECT_EQ(Snap(2.5, -0.53).Y, -8);
}

// Ink in the middle band of panel v, where its remarks go.
bool NoteIn(const TPngPixels& d, int v) {
  for (int y = kPngPanel / 2 - 6; y < kPngPanel / 2 + 6; ++y)
    for (int x = 0; x < kPngPanel; ++x)
      if (PanelAt(d, v, x, y) == kInk) return true;
  return false;
}

TEST(PngPicture, EmptyEdgeOnAndHugeModelsStillGetAPicture) {
  // No triangles: the picture says so in the side panel.
  const TPngPixels empty = Decode(Png(TModel{}, Textured(nullptr)));
  EXPECT_TRUE(NoteIn(empty, 1));
  EXPECT_FALSE(NoteIn(empty, 0));
  EXPECT_EQ(PanelAt(empty, 0, kPngPanel / 2, kPngPanel / 2), kPanelFill);

  // The flat square seen edge-on from the side and the front: a remark
  // there, the square from above and three-quarters.
  const TPngPixels flat = Decode(Png(Pattern(1), Textured(nullptr)));
  EXPECT_FALSE(NoteIn(flat, 0));
  EXPECT_TRUE(NoteIn(flat, 1));
  EXPECT_TRUE(NoteIn(flat, 2));
  EXPECT_FALSE(NoteIn(flat, 3));

  // Coordinates at the ends of their range, one triangle near the origin
  // smaller than a pixel: drawn without a fault.
  TModel huge = Pattern(1);
  huge.Points.push_back({INT64_MAX, INT64_MIN, INT64_MAX});
  huge.Points.push_back({INT64_MIN, INT64_MAX, 0});
  huge.Tri(4, 5, 0);
  const TPngPixels d = Decode(Png(huge, Textured(nullptr)));
  EXPECT_GT(d.Width, 4 * kPngPanel);

  TModel bad = Pattern(1);
  bad.Tri(0, 1, 9);
  std::string out = "kept";
  EXPECT_THROW(RenderPreviewPng(bad.Points, bad.Tris, TPreviewCaption{}, out), ERangeError);
  EXPECT_EQ(out, "kept");
}

TEST(PngPicture, SameBytesEveryTimeAndWrittenUnderTheExtensionGiven) {
  const TTexels texels = Quadrants();
  const std::string first = Png(Pattern(2), Textured(&texels));
  EXPECT_EQ(first, Png(Pattern(2), Textured(&texels)));

  bwtest::TTempDir dir;
  TBodOutput out;
  out.BodBaseName = dir.File("ship");
  out.PreviewExt = ".Png";
  out.InpFileTitle = "ship.cmp";
  TBodyLists model;
  for (const TPreviewPoint& p : Pattern(1).Points)
    AddVert(model.VertList, static_cast<float>(p[0]) / 1000, static_cast<float>(p[1]) / 1000,
            static_cast<float>(p[2]) / 1000, 0, 0);
  model.TriList = Pattern(1).Tris;
  const std::string name = WritePreviewFile(model, 3, "ship.lod0.vms", 1, {}, out);
  EXPECT_EQ(name, dir.File("ship_03.Png"));
  EXPECT_EQ(bwtest::FolderListing(dir.Path()), "ship_03.Png;");
  const std::vector<uint8_t> bytes = bwtest::ReadFileBytes(name);
  EXPECT_EQ(Decode(std::string(bytes.begin(), bytes.end())).Width, PanelLeft(4));
}

// The image data of a PNG file, inflated by zlib (which checks the
// stream's Adler-32), after the CRC of every chunk has been checked.
std::vector<uint8_t> Inflated(const std::string& png, int width, int height) {
  std::string idat;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = 0, crc = 0;
    for (size_t k = 0; k < 4; ++k) {
      length = length << 8 | static_cast<uint8_t>(png[at + k]);
    }
    if (at + 12 + length > png.size()) {
      ADD_FAILURE() << "a chunk runs past the file's end";
      return {};
    }
    for (size_t k = 0; k < 4; ++k) crc = crc << 8 | static_cast<uint8_t>(png[at + 8 + length + k]);
    const auto* typed = reinterpret_cast<const Bytef*>(png.data() + at + 4);
    EXPECT_EQ(crc32(0, typed, length + 4), crc) << png.substr(at + 4, 4);
    if (png.compare(at + 4, 4, "IDAT") == 0) idat += png.substr(at + 8, length);
    at += 12 + length;
  }
  std::vector<uint8_t> raw((static_cast<size_t>(width) * 3 + 1) * static_cast<size_t>(height) + 1);
  uLongf size = static_cast<uLongf>(raw.size());
  EXPECT_EQ(uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), static_cast<uLong>(idat.size())),
            Z_OK);
  raw.resize(size);
  return raw;
}

TEST(PngPicture, ImageDataIsOneCheckedZlibStreamOfTheDrawnRows) {
  // Many materials make a picture of many rows, compressed in several
  // pieces: zlib inflates them as one stream with the right checksum, every
  // row has the same filter, and undoing it gives the pixels a PNG reader
  // shows.
  const TTexels texels = Quadrants();
  TPreviewCaption caption = Textured(&texels);
  caption.MaterialList.resize(40, caption.MaterialList[0]);
  const std::string png = Png(Pattern(2), caption);
  const TPngPixels d = Decode(png);
  ASSERT_GT(d.Height, 300);
  const std::vector<uint8_t> raw = Inflated(png, d.Width, d.Height);
  const size_t rowBytes = static_cast<size_t>(d.Width) * 3;
  ASSERT_EQ(raw.size(), (rowBytes + 1) * static_cast<size_t>(d.Height));
  std::vector<uint8_t> above(rowBytes, 0), pixels;
  for (size_t y = 0; y < static_cast<size_t>(d.Height); ++y) {
    const uint8_t* row = &raw[y * (rowBytes + 1)];
    EXPECT_EQ(row[0], raw[0]) << "row " << y;
    for (size_t i = 0; i < rowBytes; ++i) {
      // Up (2) adds the byte above, Sub (1) the byte a pixel to the left.
      const uint8_t prior = raw[0] == 2 ? above[i] : (raw[0] == 1 && i >= 3 ? pixels[pixels.size() - 3] : 0);
      pixels.push_back(static_cast<uint8_t>(row[1 + i] + prior));
    }
    above.assign(pixels.end() - static_cast<std::ptrdiff_t>(rowBytes), pixels.end());
  }
  EXPECT_TRUE(pixels == d.Rgb);
}

TEST(PngPicture, SwatchColumnsFitTheLongestLine) {
  // 32 swatches of the longest lines (40 bytes of name, cut, not read)
  // stay inside the picture; short names share rows and make it shorter.
  auto caption = [](const std::string& name) {
    TPreviewCaption c = Textured(nullptr);
    c.MaterialList[0].TextureName = name;
    c.MaterialList[0].HasColour = false;
    c.MaterialList.resize(40, c.MaterialList[0]);
    return c;
  };
  const TPngPixels longest = Decode(Png(Pattern(1), caption(std::string(50, 'W'))));
  const TPngPixels shortest = Decode(Png(Pattern(1), caption("a.dds")));
  EXPECT_EQ(longest.Width, shortest.Width);
  EXPECT_LT(shortest.Height + 5 * 14, longest.Height);
  for (int y = kPanelTop + kPngPanel; y < longest.Height; ++y)
    for (int x = longest.Width - 8; x < longest.Width; ++x) EXPECT_EQ(longest.At(x, y), 0xffffffu) << x << "," << y;
}

TEST(BitmapFont, EachCharacterBeyondAsciiShowsAsOneMark) {
  const struct {
    const char* Text;
    const char* Shown;
  } cases[] = {
      {"ship_01.cmp", "ship_01.cmp"},
      {"Gr\xC3\xB6\xC3\x9F" "e", "Gr??e"},          // UTF-8: a mark a character
      {"\xE2\x82\xAC 5", "? 5"},                    // three bytes, one character
      {"\xF6l\xE9", "?l?"},                         // 8-bit text: bytes that begin no sequence
      {"\xE2\x82", "??"},                           // a sequence cut short
      {"tab\there\x7F", "tab?here?"},               // control characters
  };
  for (const auto& c : cases) {
    std::string shown;
    AppendShown(shown, c.Text);
    EXPECT_EQ(shown, c.Shown);
  }
}

}  // namespace
