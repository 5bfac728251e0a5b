// The PNG pictures of a conversion show each material's texture on the
// texture coordinates of the model BOD file, whatever the image's form, and
// the flat colour where there is no image to show.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cmp_builder.h"
#include "image_builder.h"
#include "test_support.h"

using namespace bwtest;

namespace {

const std::string kIni =
    std::string(kAllOnIni) + "Preview=.png, ON\r\nModelMat=ON\r\nStrMat=M%i %1:s\r\nJobs=1\r\n";

// A flat square in the x-z plane of one material, its corners' texture
// coordinates (0,0) at (-x,-z), (s,0) at (+x,-z), (0,s) at (-x,+z) and (s,s)
// at (+x,+z), with its texture's image in the model's own library.
Bytes PatternModel(float s, const std::string& texture, const Bytes& image) {
  TBlockSpec block;
  block.VertexSize = 32;
  block.Meshes.push_back({TestNameHash("pat"), 0, 3, 6});
  block.Triangles = {{0, 1, 3}, {0, 3, 2}};
  for (const auto& [x, z, u, v] : std::array<std::array<float, 4>, 4>{
           {{-2, -2, 0, 0}, {2, -2, s, 0}, {-2, 2, 0, s}, {2, 2, s, s}}}) {
    const Bytes rec = VertexRecord(32, x, 0, z, u, v);
    block.Vertices.insert(block.Vertices.end(), rec.begin(), rec.end());
  }
  std::vector<TNodeSpec> nodes = {MaterialLibrary({{"pat", texture}})};
  if (!image.empty())
    nodes.push_back(Folder("Texture library",
                           {Folder(texture, {Leaf(texture.ends_with(".dds") ? "MIPS" : "MIP0", image)})}));
  nodes.push_back(Folder("VMeshLibrary", {Folder("m.lod0.vms", {Leaf("VMeshData", BuildMeshBlock(block))})}));
  return BuildUtf(nodes);
}

// The top view's square: the box of the model's pixels in the first
// quarter of the picture (not paper, panel, frame or text).
struct TBox {
  int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
};
bool OfTheModel(uint32_t rgb) {
  return rgb != 0xffffff && rgb != 0xf4f4f4 && rgb != 0xc0c0c0 && rgb != 0x202020;
}
TBox TopViewSquare(const TPngPixels& p) {
  TBox box;
  for (int y = 0; y < p.Height * 3 / 4; ++y)
    for (int x = 0; x < p.Width / 4; ++x)
      if (OfTheModel(p.At(x, y))) {
        box.Left = std::min(box.Left, x), box.Right = std::max(box.Right, x);
        box.Top = std::min(box.Top, y), box.Bottom = std::max(box.Bottom, y);
      }
  return box;
}

// The pattern colour a shaded pixel is: 'r', 'g', 'b', 'y', or '?'.
char Hue(uint32_t rgb) {
  const int r = rgb >> 16, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
  const int top = std::max({r, g, b});
  const bool hr = r > top / 2, hg = g > top / 2, hb = b > top / 2;
  return hr && hg && !hb ? 'y' : hr && !hg && !hb ? 'r' : hg && !hr && !hb ? 'g' : hb && !hr && !hg ? 'b' : '?';
}

// The square seen from above, `n` by `n` samples at the centres of its
// cells, row by row from the top.
std::vector<uint32_t> Cells(const TPngPixels& p, int n) {
  const TBox box = TopViewSquare(p);
  std::vector<uint32_t> cells;
  if (box.Right < 0) return cells;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      cells.push_back(p.At(box.Left + (box.Right - box.Left) * (2 * i + 1) / (2 * n),
                           box.Top + (box.Bottom - box.Top) * (2 * j + 1) / (2 * n)));
  return cells;
}
std::string Hues(const TPngPixels& p, int n) {
  std::string hues;
  for (const uint32_t rgb : Cells(p, n)) hues += Hue(rgb);
  return hues;
}

TPngPixels Picture(const TTempDir& dir, const Bytes& model) {
  WriteFileBytes(dir.File("m.cmp"), model);
  std::string console;
  EXPECT_EQ(RunInProcess(dir.Path(), kIni, {dir.File("m.cmp")}, console), 0) << console;
  return DecodePng(ReadFileBytes(dir.File("m_00.png")));
}

}  // namespace

TEST(Pictures, TexturesSitRightInEveryImageFormOrTheMaterialIsFlat) {
  const TSampleImage first = PatternImages().front();
  Bytes damaged = first.Data;
  damaged.resize(damaged.size() / 2);
  struct TCase {
    std::string Texture;
    Bytes Image;
    float Scale;
    std::string Hues;  // 2 x 2 (or 4 x 4) cells, row by row; empty: one flat colour
  };
  std::vector<TCase> cases = {
      {first.Name, first.Data, 2, "rgrgbybyrgrgbyby"},  // beyond 1 the image repeats
      {"missing.dds", {}, 1, ""},
      {"damaged.dds", damaged, 1, ""},
  };
  // Red top left, green top right, blue bottom left, yellow bottom right.
  for (const TSampleImage& image : PatternImages())
    if (image.Name != "pattern_chain_dxt1.dds")  // its lower level is another pattern
      cases.push_back({image.Name, image.Data, 1, "rgby"});
  for (const TCase& c : cases) {
    TTempDir dir;
    const TPngPixels p = Picture(dir, PatternModel(c.Scale, c.Texture, c.Image));
    const int n = c.Hues.size() == 16 ? 4 : 2;
    if (!c.Hues.empty()) {
      EXPECT_EQ(Hues(p, n), c.Hues) << c.Texture;
      continue;
    }
    const std::vector<uint32_t> cells = Cells(p, 4);
    ASSERT_EQ(cells.size(), 16u) << c.Texture;
    EXPECT_EQ(std::count(cells.begin(), cells.end(), cells.front()), 16) << c.Texture;
  }
}
