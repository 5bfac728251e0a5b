#include "bench_mod.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <numeric>
#include <set>
#include <string_view>

#include "bench_gen_helpers.h"

namespace bwbench {
namespace {

using namespace bwtest;

constexpr size_t kFiles = 100, kDdsImages = 484, kTgaImages = 46, kMaterials = 850;
// Of the materials that are not named after an image: one in ten names an
// image no library holds, as mods keep materials of textures they dropped.
constexpr size_t kMissingEvery = 10;
// One image and one material in six are found in more than one file; one in
// four of those in three.
constexpr size_t kSharedEvery = 6, kThirdEvery = 4;

// An image layout and how many images in a thousand have it. Chosen so that
// the median image is a 256 x 256 DXT1 (44 KB with its mipmaps), the largest
// a 1024 x 1024 DXT1 (700 KB), and the images come to about 37 MB.
struct TShape {
  uint16_t Width, Height;
  uint8_t Format;
  int PerMille;
};
constexpr TShape kDdsShapes[] = {{32, 32, 5, 30},    {64, 64, 1, 80},    {64, 64, 5, 50},
                                 {128, 128, 1, 150}, {256, 128, 1, 75},  {128, 128, 5, 100},
                                 {256, 256, 1, 282}, {256, 256, 5, 140}, {512, 512, 1, 63},
                                 {512, 512, 5, 22},  {1024, 1024, 1, 8}};
// Interface pictures and decals, uncompressed.
constexpr TShape kTgaShapes[] = {{16, 16, 32, 100},  {32, 32, 32, 150},   {64, 64, 24, 200},
                                 {64, 64, 32, 200},  {128, 128, 24, 150}, {128, 128, 32, 100},
                                 {256, 128, 24, 50}, {256, 256, 24, 50}};

// File sizes at quantiles of the file list: the smallest 1 KB, the median
// 90 KB, the largest 3.8 MB, 38 MB in all.
constexpr double kTotalBytes = 38e6;
constexpr TKnot kFileSizes[] = {{0.005, 1.0e3}, {0.2, 12e3},   {0.5, 90e3},
                                {0.75, 330e3},  {0.9, 1.05e6}, {0.995, 3.8e6}};

constexpr std::string_view kFactions[] = {"li", "br", "ku", "rh", "co", "pi", "ge", "bw", "ju", "ox"};
constexpr std::string_view kObjects[] = {"fighter", "freighter", "cruiser", "station", "turret", "cargo",
                                         "engine",  "dock",      "planet",  "rock",    "gate",   "lane",
                                         "shield",  "mine",      "cockpit", "wing",    "bridge", "hangar"};
constexpr std::string_view kVariants[] = {"_alt", "_dmg", "_b", "_night", "_2", "_lod"};

// Names as modders give them ("ku_fighter_hull07"), never the same twice.
struct TNames {
  TRandom& Rnd;
  std::set<std::string> Used;
  std::string Next() {
    for (;;) {
      std::string name = std::string(Rnd.Pick(kFactions)) + "_" + std::string(Rnd.Pick(kObjects)) + "_" +
                         std::string(Rnd.Pick(kSurfaces));
      name += Numbered("", Rnd.Below(100), 2);
      if (Used.insert(name).second) return name;
    }
  }
  // `base` with a variant suffix, or with more of them until it is new.
  std::string Variant(std::string base) {
    do base += Rnd.Pick(kVariants);
    while (!Used.insert(base).second);
    return base;
  }
};

// The top level of a DXT image: 4 x 4 blocks of 8 (DXT1) or 16 (DXT5) bytes.
uint32_t DxtLevelBytes(uint32_t w, uint32_t h, uint8_t dxt) {
  return std::max(1u, (w + 3) / 4) * std::max(1u, (h + 3) / 4) * (dxt == 1 ? 8 : 16);
}

// The sizes of the levels of a mipmap chain, down to 1 x 1.
std::vector<std::pair<uint32_t, uint32_t>> MipLevels(uint32_t w, uint32_t h) {
  std::vector<std::pair<uint32_t, uint32_t>> levels = {{w, h}};
  while (w > 1 || h > 1) levels.emplace_back(w = std::max(1u, w / 2), h = std::max(1u, h / 2));
  return levels;
}

// The bytes a node adds to a built file: its entry, its name, its data.
size_t NodeBytes(const TNodeSpec& node) {
  size_t bytes = kEntrySize + node.Name.size() + 1 + (node.Data.size() + 3) / 4 * 4;
  for (const TNodeSpec& child : node.Children) bytes += NodeBytes(child);
  return bytes;
}

// Indices 0 .. count-1 in a random order, and the one in six found in more
// than one file again (one in four of those twice).
std::vector<uint32_t> Copies(size_t count, TRandom& rnd) {
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  rnd.Shuffle(order);
  std::vector<uint32_t> all(order.begin(), order.end());
  for (size_t r = 0; r < count; r += kSharedEvery) {
    all.push_back(order[r]);
    if (r % (kSharedEvery * kThirdEvery) == 0) all.push_back(order[r]);
  }
  return all;
}

// The bytes of an image's texture library entry: its folder, and the MIPS or
// MIP0 leaf holding it.
size_t EntryBytes(const TModTexture& t) {
  return 2 * kEntrySize + t.Name.size() + 1 + 5 + (t.Size + 3) / 4 * 4;
}

// Which copies go where. Each file has a target size; images go largest
// first to the file with the most room left (so the large files are image
// packs), materials half to a file that holds their image, half to the file
// that is emptiest for its size (so the small files are material lists).
void Distribute(TMod& mod, TRandom& rnd) {
  std::vector<double> target(kFiles);
  double sum = 0;
  for (size_t i = 0; i < kFiles; ++i)
    sum += target[i] = SizeAt(kFileSizes, (static_cast<double>(i) + 0.5) / kFiles);
  for (double& t : target) t *= kTotalBytes / sum;
  // A mod's file names say nothing of their sizes.
  rnd.Shuffle(target);
  std::vector<double> used(kFiles, 0);
  mod.Files.resize(kFiles);
  for (size_t i = 0; i < kFiles; ++i) mod.Files[i].Name = Numbered("m", i, 3) + ".mat";

  std::vector<uint32_t> images = Copies(mod.Textures.size(), rnd);
  std::stable_sort(images.begin(), images.end(),
                   [&](uint32_t a, uint32_t b) { return mod.Textures[a].Size > mod.Textures[b].Size; });
  std::map<std::string, size_t> homeOf;  // the first file to hold an image
  auto holds = [](const std::vector<uint32_t>& list, uint32_t k) { return std::ranges::count(list, k) > 0; };
  // The file not holding `k` in `list` yet with the highest `score`.
  auto choose = [&](std::vector<uint32_t> TModFile::*list, uint32_t k, auto score) {
    size_t best = kFiles;
    for (size_t f = 0; f < kFiles; ++f)
      if (!holds(mod.Files[f].*list, k) && (best == kFiles || score(f) > score(best))) best = f;
    return best;
  };
  for (uint32_t t : images) {
    const size_t best = choose(&TModFile::Textures, t, [&](size_t f) { return target[f] - used[f]; });
    mod.Files[best].Textures.push_back(t);
    used[best] += static_cast<double>(EntryBytes(mod.Textures[t]));
    homeOf.emplace(mod.Textures[t].Name, best);
  }
  for (uint32_t m : Copies(mod.Materials.size(), rnd)) {
    const TModMaterial& mat = mod.Materials[m];
    const auto home = homeOf.find(mat.TextureName);
    const size_t best =
        home != homeOf.end() && rnd.Below(2) == 0 && !holds(mod.Files[home->second].Materials, m)
            ? home->second
            : choose(&TModFile::Materials, m, [&](size_t f) { return 1 - used[f] / target[f]; });
    mod.Files[best].Materials.push_back(m);
    used[best] += static_cast<double>(NodeBytes(MaterialFolder(mat.Name, mat.TextureName)));
  }
}

TMod LayOut() {
  TRandom rnd(23);
  TNames names{rnd, {}};
  TMod mod;
  // Images of each shape in proportion, the rounding spread so the counts
  // add up to `count`.
  auto addImages = [&](const auto& shapes, size_t count, const char* ending) {
    int before = 0;
    for (const TShape& sh : shapes) {
      const int after = before + sh.PerMille;
      const size_t n = count * static_cast<size_t>(after) / 1000 - count * static_cast<size_t>(before) / 1000;
      for (size_t i = 0; i < n; ++i)
        mod.Textures.push_back(Texture(names.Next() + ending, sh.Width, sh.Height, sh.Format));
      before = after;
    }
  };
  addImages(kDdsShapes, kDdsImages, ".dds");
  addImages(kTgaShapes, kTgaImages, ".tga");
  rnd.Shuffle(mod.Textures);
  // A material for every image, named after it; the rest are variants of
  // them that share an image, or name one that is gone.
  for (const TModTexture& t : mod.Textures) mod.Materials.push_back({BaseName(t.Name), t.Name});
  for (size_t m = mod.Materials.size(); m < kMaterials; ++m) {
    const TModTexture& t = mod.Textures[rnd.Below(mod.Textures.size())];
    mod.Materials.push_back(
        {names.Variant(BaseName(t.Name)), m % kMissingEvery == 0 ? names.Next() + ".dds" : t.Name});
  }
  rnd.Shuffle(mod.Materials);
  Distribute(mod, rnd);
  return mod;
}

struct TRgb8 {
  uint8_t R, G, B;
};

// A texel shaped like those of real ship textures: a tint with a smooth
// gradient, plate seams every 32 texels, rivet rows and a little noise.
TRgb8 ShapedTexel(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint64_t tint, TRandom& rnd) {
  int v = 90 + static_cast<int>(tint % 80) + static_cast<int>((x * 40) / std::max(1u, w)) -
          static_cast<int>((y * 30) / std::max(1u, h));
  if (x % 32 == 0 || y % 32 == 0) v -= 45;  // seams
  if (y % 32 == 4 && x % 8 == 4) v += 35;   // rivets
  v += static_cast<int>(rnd.Below(9)) - 4;  // noise
  auto clamp = [](int c) { return static_cast<uint8_t>(std::clamp(c, 0, 255)); };
  const int r = static_cast<int>((tint >> 8) % 30), g = static_cast<int>((tint >> 16) % 30);
  return {clamp(v + r - 10), clamp(v + g - 10), clamp(v + 5)};
}

// One 4 x 4 block of DXT1 colour: the block's lightest and darkest texels
// as its two colours, each texel the nearest of the four on the line.
void PutColourBlock(Bytes& b, const std::array<TRgb8, 16>& texels) {
  auto luma = [](const TRgb8& c) { return c.R * 3 + c.G * 6 + c.B; };
  auto rgb565 = [](const TRgb8& c) {
    return static_cast<uint16_t>(((c.R >> 3) << 11) | ((c.G >> 2) << 5) | (c.B >> 3));
  };
  const auto [lo, hi] = std::minmax_element(
      texels.begin(), texels.end(), [&](const TRgb8& a, const TRgb8& c) { return luma(a) < luma(c); });
  uint16_t c0 = rgb565(*hi), c1 = rgb565(*lo);
  if (c0 == c1) c1 = c0 > 0 ? static_cast<uint16_t>(c0 - 1) : 1;
  if (c0 < c1) std::swap(c0, c1);
  const int l0 = luma(*hi), l1 = luma(*lo);
  uint32_t indices = 0;
  for (size_t i = 0; i < 16; ++i) {
    const int t = l0 == l1 ? 0 : (luma(texels[i]) - l1) * 3 / std::max(1, l0 - l1);  // 0 (dark) .. 3 (light)
    static constexpr uint32_t kIndexOf[4] = {1, 3, 2, 0};                            // c1, 2/3 c1, 2/3 c0, c0
    indices |= kIndexOf[std::clamp(t, 0, 3)] << (2 * i);
  }
  PutU16(b, c0);
  PutU16(b, c1);
  PutU32(b, indices);
}

void ShapedTexels(const TModTexture& t, TRandom& rnd, Bytes& b) {
  const uint64_t tint = rnd.Next();
  if (!t.Dds) {
    for (uint32_t y = 0; y < t.Height; ++y)
      for (uint32_t x = 0; x < t.Width; ++x) {
        const TRgb8 c = ShapedTexel(x, y, t.Width, t.Height, tint, rnd);
        b.insert(b.end(), {c.B, c.G, c.R});
        if (t.Format == 32) b.push_back(255);
      }
    return;
  }
  for (const auto& [w, h] : MipLevels(t.Width, t.Height))
    for (uint32_t by = 0; by < std::max(1u, (h + 3) / 4); ++by)
      for (uint32_t bx = 0; bx < std::max(1u, (w + 3) / 4); ++bx) {
        std::array<TRgb8, 16> texels;
        for (uint32_t i = 0; i < 16; ++i)
          texels[i] = ShapedTexel(bx * 4 + i % 4, by * 4 + i / 4, w, h, tint, rnd);
        if (t.Format != 1) b.insert(b.end(), {255, 255, 0, 0, 0, 0, 0, 0});  // an opaque alpha block first
        PutColourBlock(b, texels);
      }
}

Bytes TextureImage(const TModTexture& t) {
  Bytes b;
  b.reserve(t.Size + 8);
  if (t.Dds) {
    const auto levels = static_cast<uint32_t>(MipLevels(t.Width, t.Height).size());
    b = {'D', 'D', 'S', ' '};
    // The header's size, the fields it fills (caps, height, width, pixel
    // format, mipmap count, linear size), those (the depth 0), 11 reserved.
    for (uint32_t v : {124u, 0x000A1007u, uint32_t{t.Height}, uint32_t{t.Width},
                       DxtLevelBytes(t.Width, t.Height, t.Format), 0u, levels})
      PutU32(b, v);
    b.resize(b.size() + 44);
    PutU32(b, 32);
    PutU32(b, 4);  // the format is a four-character code, without bit counts nor masks
    b.insert(b.end(), {'D', 'X', 'T', static_cast<uint8_t>('0' + t.Format)});
    b.resize(b.size() + 20);
    PutU32(b, 0x401008);  // complex, texture, mipmaps
    b.resize(b.size() + 16);
  } else {
    b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // uncompressed true colour
    PutU16(b, t.Width);
    PutU16(b, t.Height);
    b.push_back(t.Format);
    b.push_back(t.Format == 32 ? 0x28 : 0x20);  // alpha bits; rows from the top
  }
  TRandom rnd(TestNameHash(t.Name));
  if (std::getenv("BODWRIGHT_BENCH_RANDOM_IMAGES") == nullptr) {
    ShapedTexels(t, rnd, b);
  } else {
    // The images of earlier measurements: random bytes, the worst case for
    // any compressor and unlike any texture.
    while (b.size() < t.Size) {
      const uint64_t v = rnd.Next();
      for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
  }
  b.resize(t.Size);
  return b;
}

}  // namespace

TModTexture Texture(std::string name, uint16_t width, uint16_t height, uint8_t format) {
  const bool dds = name.ends_with(".dds");
  // The header and the texels, for DDS of the whole mipmap chain.
  uint32_t size = dds ? 128 : 18 + static_cast<uint32_t>(width) * height * format / 8;
  if (dds)
    for (const auto& [w, h] : MipLevels(width, height)) size += DxtLevelBytes(w, h, format);
  return {std::move(name), dds, width, height, format, size};
}

const TMod& Mod() {
  static const TMod mod = LayOut();
  return mod;
}

TNodeSpec TextureEntry(const TModTexture& t) {
  return Folder(t.Name, {Leaf(t.Dds ? "MIPS" : "MIP0", TextureImage(t))});
}

TNodeSpec MaterialFolder(const std::string& name, const std::string& textureName) {
  // Three kinds, chosen by the name, as mods mix them: plain, glowing, and
  // with a detail map over the base image.
  static constexpr const char* kTypes[] = {"DcDt", "DcDtEcEt", "BtDetailMapMaterial"};
  const uint32_t kind = TestNameHash(name) % 3;
  std::vector<TNodeSpec> leaves = {TextLeaf("Type", kTypes[kind]),
                                   Leaf("Dc", Floats({0.8f, 0.8f, 0.8f, 1.0f})),
                                   Leaf("Ac", Floats({0.5f, 0.5f, 0.5f})),
                                   Leaf("Ec", Floats({0.0f, 0.0f, 0.0f})), Leaf("Oc", Floats({1.0f}))};
  auto addMap = [&](const std::string& prefix, const std::string& image) {
    leaves.push_back(TextLeaf(prefix + "_name", image));
    leaves.push_back(Leaf(prefix + "_flags", Word(64)));
  };
  addMap("Dt", textureName);
  if (kind == 1) addMap("Et", BaseName(textureName) + "_glow.dds");
  if (kind == 2) {
    addMap("Bt", textureName);
    addMap("Dm0", "detail_metal.dds");
    addMap("Dm1", "detail_grime.dds");
    leaves.insert(leaves.end(), {Leaf("TileRate0", Floats({8.0f})), Leaf("TileRate1", Floats({4.0f})),
                                 Leaf("FlipU", Word(0)), Leaf("FlipV", Word(0))});
  }
  return Folder(name, std::move(leaves));
}

Bytes ModFile(const TMod& mod, size_t i) {
  const TModFile& file = mod.Files.at(i);
  std::vector<TNodeSpec> root, entries, folders;
  for (uint32_t t : file.Textures) entries.push_back(TextureEntry(mod.Textures[t]));
  for (uint32_t m : file.Materials)
    folders.push_back(MaterialFolder(mod.Materials[m].Name, mod.Materials[m].TextureName));
  if (!entries.empty()) root.push_back(Folder("Texture library", std::move(entries)));
  if (!folders.empty()) root.push_back(Folder("material library", std::move(folders)));
  return BuildUtf(root);
}

}  // namespace bwbench
