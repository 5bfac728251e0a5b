#include "bench_mod.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <string_view>

#include "bench_random.h"

namespace bwbench {
namespace {

using namespace bwtest;

constexpr size_t kFiles = 100;
constexpr size_t kDdsImages = 484;
constexpr size_t kTgaImages = 46;
constexpr size_t kMaterials = 850;
// Of the materials that are not named after an image: one in ten names an
// image no library holds, as mods keep materials of textures they dropped.
constexpr size_t kMissingEvery = 10;
// One image and one material in six are found in more than one file; one in
// four of those in three.
constexpr size_t kSharedEvery = 6;
constexpr size_t kThirdEvery = 4;

// An image layout and how many images in a thousand have it. Chosen so that
// the median image is a 256 x 256 DXT1 (44 KB with its mipmaps), the largest
// a 1024 x 1024 DXT1 (700 KB), and the images come to about 37 MB.
struct TShape {
  uint16_t Width, Height;
  uint8_t Format;
  int PerMille;
};
constexpr TShape kDdsShapes[] = {
    {32, 32, 5, 30},   {64, 64, 1, 80},    {64, 64, 5, 50},    {128, 128, 1, 150},
    {256, 128, 1, 75}, {128, 128, 5, 100}, {256, 256, 1, 282}, {256, 256, 5, 140},
    {512, 512, 1, 63}, {512, 512, 5, 22},  {1024, 1024, 1, 8},
};
// Interface pictures and decals, uncompressed.
constexpr TShape kTgaShapes[] = {
    {16, 16, 32, 100},   {32, 32, 32, 150},   {64, 64, 24, 200},  {64, 64, 32, 200},
    {128, 128, 24, 150}, {128, 128, 32, 100}, {256, 128, 24, 50}, {256, 256, 24, 50},
};

// File sizes at quantiles of the file list (log-linear between): the
// smallest 1 KB, the median 90 KB, the largest 3.8 MB, 38 MB in all.
constexpr double kTotalBytes = 38e6;
struct TKnot {
  double Quantile, Bytes;
};
constexpr TKnot kFileSizes[] = {
    {0.005, 1.0e3}, {0.2, 12e3}, {0.5, 90e3}, {0.75, 330e3}, {0.9, 1.05e6}, {0.995, 3.8e6},
};

constexpr std::string_view kFactions[] = {"li", "br", "ku", "rh", "co", "pi", "ge", "bw", "ju", "ox"};
constexpr std::string_view kObjects[] = {"fighter", "freighter", "cruiser", "station", "turret", "cargo",
                                         "engine",  "dock",      "planet",  "rock",    "gate",   "lane",
                                         "shield",  "mine",      "cockpit", "wing",    "bridge", "hangar"};
constexpr std::string_view kSurfaces[] = {"hull", "detail", "glass", "light", "panel", "decal",
                                          "trim", "metal",  "grate", "vent",  "pipe",  "window",
                                          "logo", "rust",   "glow",  "base"};
constexpr std::string_view kVariants[] = {"_alt", "_dmg", "_b", "_night", "_2", "_lod"};

// Names as modders give them ("ku_fighter_hull07"), never the same twice.
class TNames {
 public:
  explicit TNames(TRandom& rnd) : FRnd(rnd) {}
  std::string Next() {
    for (;;) {
      std::string name = std::string(Pick(kFactions)) + "_" + std::string(Pick(kObjects)) + "_" +
                         std::string(Pick(kSurfaces));
      const size_t number = FRnd.Below(100);
      name += static_cast<char>('0' + number / 10);
      name += static_cast<char>('0' + number % 10);
      if (Claim(name)) return name;
    }
  }
  // `base` with a variant suffix, or with more of them until it is new.
  std::string Variant(std::string base) {
    do base += Pick(kVariants);
    while (!Claim(base));
    return base;
  }
  bool Claim(const std::string& name) { return FUsed.insert(name).second; }

 private:
  template <size_t N>
  std::string_view Pick(const std::string_view (&words)[N]) {
    return words[FRnd.Below(N)];
  }
  TRandom& FRnd;
  std::set<std::string> FUsed;
};

std::string BaseName(const std::string& fileName) {
  return fileName.substr(0, fileName.rfind('.'));
}

// Every level of the mipmap chain down to 1 x 1, in 4 x 4 blocks of 8
// (DXT1) or 16 (DXT5) bytes.
uint32_t MipChainBytes(uint32_t w, uint32_t h, uint8_t dxt, uint32_t* levels) {
  const uint32_t block = dxt == 1 ? 8 : 16;
  uint32_t bytes = 0;
  *levels = 0;
  for (;;) {
    bytes += std::max(1u, (w + 3) / 4) * std::max(1u, (h + 3) / 4) * block;
    ++*levels;
    if (w == 1 && h == 1) return bytes;
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
  }
}

struct TRgb8 {
  uint8_t R, G, B;
};

constexpr uint32_t kDdsHeader = 128;
constexpr uint32_t kTgaHeader = 18;

// Images of each shape in proportion, the rounding spread so the counts add
// up to `count`.
void AddImages(const TShape* shapes, size_t shapeCount, size_t count, bool dds, TNames& names,
               std::vector<TModTexture>& out) {
  int before = 0;
  for (size_t s = 0; s < shapeCount; ++s) {
    const int after = before + shapes[s].PerMille;
    const size_t n = count * static_cast<size_t>(after) / 1000 - count * static_cast<size_t>(before) / 1000;
    for (size_t i = 0; i < n; ++i) {
      const TShape& sh = shapes[s];
      out.push_back(dds ? DdsTexture(names.Next() + ".dds", sh.Width, sh.Height, sh.Format)
                        : TgaTexture(names.Next() + ".tga", sh.Width, sh.Height, sh.Format));
    }
    before = after;
  }
}

double FileTarget(double quantile) {
  const TKnot* k = kFileSizes;
  while (k + 2 < std::end(kFileSizes) && quantile > k[1].Quantile) ++k;
  const double t = (quantile - k[0].Quantile) / (k[1].Quantile - k[0].Quantile);
  return std::exp(std::log(k[0].Bytes) + t * (std::log(k[1].Bytes) - std::log(k[0].Bytes)));
}

// The bytes a node adds to a built file: its entry, its name, its data.
size_t NodeBytes(const TNodeSpec& node) {
  size_t bytes = kEntrySize + node.Name.size() + 1 + (node.Data.size() + 3) / 4 * 4;
  for (const TNodeSpec& child : node.Children) bytes += NodeBytes(child);
  return bytes;
}

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
  for (size_t i = 0; i < kFiles; ++i) sum += target[i] = FileTarget((static_cast<double>(i) + 0.5) / kFiles);
  for (double& t : target) t *= kTotalBytes / sum;
  // A mod's file names say nothing of their sizes.
  rnd.Shuffle(target);
  std::vector<double> used(kFiles, 0);
  mod.Files.resize(kFiles);
  for (size_t i = 0; i < kFiles; ++i) {
    // "m000.mat": the digits put in place (GCC 12 warns of a false overlap
    // for a literal added to a temporary string).
    std::string name = "m000.mat";
    name[1] = static_cast<char>('0' + i / 100);
    name[2] = static_cast<char>('0' + i / 10 % 10);
    name[3] = static_cast<char>('0' + i % 10);
    mod.Files[i].Name = std::move(name);
  }

  auto copies = [&](size_t count) {
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
    rnd.Shuffle(order);
    std::vector<uint32_t> all(order.begin(), order.end());
    for (size_t r = 0; r < count; r += kSharedEvery) {
      all.push_back(order[r]);
      if (r % (kSharedEvery * kThirdEvery) == 0) all.push_back(order[r]);
    }
    return all;
  };
  auto holds = [](const std::vector<uint32_t>& list, uint32_t k) {
    return std::find(list.begin(), list.end(), k) != list.end();
  };

  std::vector<uint32_t> images = copies(mod.Textures.size());
  std::stable_sort(images.begin(), images.end(),
                   [&](uint32_t a, uint32_t b) { return mod.Textures[a].Size > mod.Textures[b].Size; });
  std::vector<int> home(mod.Textures.size(), -1);
  for (uint32_t t : images) {
    size_t best = kFiles;
    for (size_t f = 0; f < kFiles; ++f)
      if (!holds(mod.Files[f].Textures, t) &&
          (best == kFiles || target[f] - used[f] > target[best] - used[best]))
        best = f;
    mod.Files[best].Textures.push_back(t);
    used[best] += static_cast<double>(EntryBytes(mod.Textures[t]));
    if (home[t] < 0) home[t] = static_cast<int>(best);
  }

  std::map<std::string, int> homeOf;
  for (size_t t = 0; t < mod.Textures.size(); ++t) homeOf[mod.Textures[t].Name] = home[t];
  std::vector<uint32_t> materials = copies(mod.Materials.size());
  for (uint32_t m : materials) {
    const TModMaterial& mat = mod.Materials[m];
    size_t best = kFiles;
    const auto found = homeOf.find(mat.TextureName);
    const int withImage = found == homeOf.end() ? -1 : found->second;
    if (withImage >= 0 && rnd.Below(2) == 0 &&
        !holds(mod.Files[static_cast<size_t>(withImage)].Materials, m)) {
      best = static_cast<size_t>(withImage);
    } else {
      for (size_t f = 0; f < kFiles; ++f)
        if (!holds(mod.Files[f].Materials, m) &&
            (best == kFiles || 1 - used[f] / target[f] > 1 - used[best] / target[best]))
          best = f;
    }
    mod.Files[best].Materials.push_back(m);
    used[best] += static_cast<double>(NodeBytes(MaterialFolder(mat.Name, mat.TextureName)));
  }
}

TMod LayOut() {
  TRandom rnd(23);
  TNames names(rnd);
  TMod mod;
  AddImages(kDdsShapes, std::size(kDdsShapes), kDdsImages, true, names, mod.Textures);
  AddImages(kTgaShapes, std::size(kTgaShapes), kTgaImages, false, names, mod.Textures);
  rnd.Shuffle(mod.Textures);

  // A material for every image, named after it; the rest are variants of
  // them that share an image, or name one that is gone.
  for (const TModTexture& t : mod.Textures) mod.Materials.push_back({BaseName(t.Name), t.Name});
  for (size_t m = mod.Materials.size(); m < kMaterials; ++m) {
    const TModTexture& t = mod.Textures[rnd.Below(mod.Textures.size())];
    const std::string name = names.Variant(BaseName(t.Name));
    mod.Materials.push_back({name, m % kMissingEvery == 0 ? names.Next() + ".dds" : t.Name});
  }
  rnd.Shuffle(mod.Materials);
  Distribute(mod, rnd);
  return mod;
}

}  // namespace

TModTexture DdsTexture(std::string name, uint16_t width, uint16_t height, uint8_t dxt) {
  uint32_t levels = 0;
  TModTexture t;
  t.Name = std::move(name);
  t.Dds = true;
  t.Width = width;
  t.Height = height;
  t.Format = dxt;
  t.Size = kDdsHeader + MipChainBytes(width, height, dxt, &levels);
  return t;
}

TModTexture TgaTexture(std::string name, uint16_t width, uint16_t height, uint8_t bits) {
  TModTexture t;
  t.Name = std::move(name);
  t.Dds = false;
  t.Width = width;
  t.Height = height;
  t.Format = bits;
  t.Size = kTgaHeader + static_cast<uint32_t>(width) * height * bits / 8;
  return t;
}

const TMod& Mod() {
  static const TMod mod = LayOut();
  return mod;
}

namespace {

// A texel shaped like those of real ship textures: a tint with a smooth
// gradient, plate seams every 32 texels, rivet rows and a little noise.
TRgb8 ShapedTexel(uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint64_t tint, TRandom& rnd) {
  const int base = 90 + static_cast<int>(tint % 80);
  int v = base + static_cast<int>((x * 40) / std::max(1u, w)) - static_cast<int>((y * 30) / std::max(1u, h));
  if (x % 32 == 0 || y % 32 == 0) v -= 45;                  // seams
  if (y % 32 == 4 && x % 8 == 4) v += 35;                   // rivets
  v += static_cast<int>(rnd.Below(9)) - 4;                  // noise
  auto clamp = [](int c) { return static_cast<uint8_t>(std::clamp(c, 0, 255)); };
  const int r = static_cast<int>((tint >> 8) % 30), g = static_cast<int>((tint >> 16) % 30);
  return {clamp(v + r - 10), clamp(v + g - 10), clamp(v + 5)};
}

uint16_t To565(const TRgb8& c) {
  return static_cast<uint16_t>(((c.R >> 3) << 11) | ((c.G >> 2) << 5) | (c.B >> 3));
}

// One 4 x 4 block of DXT1 colour: the block's lightest and darkest texels
// as its two colours, each texel the nearest of the four on the line.
void PutColourBlock(Bytes& b, const std::array<TRgb8, 16>& texels) {
  auto luma = [](const TRgb8& c) { return c.R * 3 + c.G * 6 + c.B; };
  const auto [lo, hi] = std::minmax_element(texels.begin(), texels.end(),
                                            [&](const TRgb8& a, const TRgb8& c) { return luma(a) < luma(c); });
  uint16_t c0 = To565(*hi), c1 = To565(*lo);
  if (c0 == c1) c1 = c0 > 0 ? static_cast<uint16_t>(c0 - 1) : 1;
  if (c0 < c1) std::swap(c0, c1);
  const int l0 = luma(*hi), l1 = luma(*lo);
  uint32_t indices = 0;
  for (size_t i = 0; i < 16; ++i) {
    const int t = l0 == l1 ? 0 : (luma(texels[i]) - l1) * 3 / std::max(1, l0 - l1);  // 0 (dark) .. 3 (light)
    static constexpr uint32_t kIndexOf[4] = {1, 3, 2, 0};  // c1, 2/3 c1, 2/3 c0, c0
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
  for (uint32_t w = t.Width, h = t.Height;; w = std::max(1u, w / 2), h = std::max(1u, h / 2)) {
    for (uint32_t by = 0; by < std::max(1u, (h + 3) / 4); ++by)
      for (uint32_t bx = 0; bx < std::max(1u, (w + 3) / 4); ++bx) {
        std::array<TRgb8, 16> texels;
        for (uint32_t i = 0; i < 16; ++i) texels[i] = ShapedTexel(bx * 4 + i % 4, by * 4 + i / 4, w, h, tint, rnd);
        if (t.Format != 1) {  // an opaque alpha block first
          b.insert(b.end(), {255, 255});
          for (int i = 0; i < 6; ++i) b.push_back(0);
        }
        PutColourBlock(b, texels);
      }
    if (w == 1 && h == 1) break;
  }
}

}  // namespace

Bytes TextureImage(const TModTexture& t) {
  Bytes b;
  b.reserve(t.Size + 8);
  if (t.Dds) {
    uint32_t levels = 0;
    MipChainBytes(t.Width, t.Height, t.Format, &levels);
    const uint32_t top =
        std::max(1u, (t.Width + 3u) / 4) * std::max(1u, (t.Height + 3u) / 4) * (t.Format == 1 ? 8 : 16);
    b = {'D', 'D', 'S', ' '};
    PutU32(b, 124);
    PutU32(b, 0x000A1007);  // caps, height, width, pixel format, mipmap count, linear size
    PutU32(b, t.Height);
    PutU32(b, t.Width);
    PutU32(b, top);
    PutU32(b, 0);
    PutU32(b, levels);
    for (int i = 0; i < 11; ++i) PutU32(b, 0);
    PutU32(b, 32);
    PutU32(b, 4);  // the format is a four-character code
    b.insert(b.end(), {'D', 'X', 'T', static_cast<uint8_t>('0' + t.Format)});
    for (int i = 0; i < 5; ++i) PutU32(b, 0);
    PutU32(b, 0x401008);  // complex, texture, mipmaps
    for (int i = 0; i < 4; ++i) PutU32(b, 0);
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

TNodeSpec TextureEntry(const TModTexture& t) {
  return Folder(t.Name, {Leaf(t.Dds ? "MIPS" : "MIP0", TextureImage(t))});
}

TNodeSpec MaterialFolder(const std::string& name, const std::string& textureName) {
  auto floats = [](std::initializer_list<float> values) {
    Bytes b;
    for (float v : values) PutF32(b, v);
    return b;
  };
  auto word = [](uint32_t v) {
    Bytes b;
    PutU32(b, v);
    return b;
  };
  // Three kinds, chosen by the name, as mods mix them: plain, glowing, and
  // with a detail map over the base image.
  static constexpr const char* kTypes[] = {"DcDt", "DcDtEcEt", "BtDetailMapMaterial"};
  const uint32_t kind = TestNameHash(name) % 3;
  std::vector<TNodeSpec> leaves = {
      TextLeaf("Type", kTypes[kind]),
      Leaf("Dc", floats({0.8f, 0.8f, 0.8f, 1.0f})),
      Leaf("Ac", floats({0.5f, 0.5f, 0.5f})),
      Leaf("Ec", floats({0.0f, 0.0f, 0.0f})),
      Leaf("Oc", floats({1.0f})),
      TextLeaf("Dt_name", textureName),
      Leaf("Dt_flags", word(64)),
  };
  if (kind == 1) {
    leaves.push_back(TextLeaf("Et_name", BaseName(textureName) + "_glow.dds"));
    leaves.push_back(Leaf("Et_flags", word(64)));
  } else if (kind == 2) {
    leaves.push_back(TextLeaf("Bt_name", textureName));
    leaves.push_back(Leaf("Bt_flags", word(64)));
    leaves.push_back(TextLeaf("Dm0_name", "detail_metal.dds"));
    leaves.push_back(Leaf("Dm0_flags", word(64)));
    leaves.push_back(TextLeaf("Dm1_name", "detail_grime.dds"));
    leaves.push_back(Leaf("Dm1_flags", word(64)));
    leaves.push_back(Leaf("TileRate0", floats({8.0f})));
    leaves.push_back(Leaf("TileRate1", floats({4.0f})));
    leaves.push_back(Leaf("FlipU", word(0)));
    leaves.push_back(Leaf("FlipV", word(0)));
  }
  return Folder(name, std::move(leaves));
}

Bytes ModFile(const TMod& mod, size_t i) {
  const TModFile& file = mod.Files.at(i);
  std::vector<TNodeSpec> root;
  if (!file.Textures.empty()) {
    std::vector<TNodeSpec> entries;
    for (uint32_t t : file.Textures) entries.push_back(TextureEntry(mod.Textures[t]));
    root.push_back(Folder("Texture library", std::move(entries)));
  }
  if (!file.Materials.empty()) {
    std::vector<TNodeSpec> folders;
    for (uint32_t m : file.Materials)
      folders.push_back(MaterialFolder(mod.Materials[m].Name, mod.Materials[m].TextureName));
    root.push_back(Folder("material library", std::move(folders)));
  }
  return BuildUtf(root);
}

}  // namespace bwbench
