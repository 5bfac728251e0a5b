#include "bench_tree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string_view>

#include "bench_mod.h"
#include "bench_models.h"
#include "bench_random.h"

namespace bwbench {
namespace {

using namespace bwtest;

constexpr size_t kModels = 2000;
constexpr size_t kPartsOnly = 150;
constexpr size_t kLibraryOnly = 225;
constexpr size_t kOwnLibraries = 850;
constexpr size_t kPairs = 9;
constexpr size_t kMatFolders = 50;

// Model sizes at quantiles of the list (log-linear between): a few damage
// pieces and lights of a couple of KB, the median piece of equipment about
// 23 KB, one model in ten above 350 KB (ships and stations), the largest a
// station of 3.9 MB.
struct TKnot {
  double Quantile, Bytes;
};
constexpr TKnot kSizes[] = {
    {0.00025, 1.5e3}, {0.1, 5e3},   {0.25, 10e3},  {0.5, 23e3},
    {0.75, 75e3},     {0.9, 350e3}, {0.98, 1.2e6}, {0.99975, 3.9e6},
};

double SizeAt(double quantile) {
  const TKnot* k = kSizes;
  while (k + 2 < std::end(kSizes) && quantile > k[1].Quantile) ++k;
  const double t = (quantile - k[0].Quantile) / (k[1].Quantile - k[0].Quantile);
  return std::exp(std::log(k[0].Bytes) + t * (std::log(k[1].Bytes) - std::log(k[0].Bytes)));
}

template <size_t N>
std::string Pick(TRandom& rnd, const std::string_view (&words)[N]) {
  return std::string(words[rnd.Below(N)]);
}

std::string TwoDigits(size_t n) {
  std::string s = "00";
  s[0] = static_cast<char>('0' + n / 10 % 10);
  s[1] = static_cast<char>('0' + n % 10);
  return s;
}

struct TFolderPlan {
  std::string Path;
  double Weight;    // its share of the models
  double SizeBias;  // larger models (stations) or smaller (damage pieces)
};

constexpr std::string_view kFactions[][2] = {
    {"liberty", "li"}, {"bretonia", "br"}, {"kusari", "ku"},  {"rheinland", "rh"},
    {"corsair", "co"}, {"pirate", "pi"},   {"generic", "ge"}, {"borderworld", "bw"},
};
constexpr std::string_view kHulls[] = {"elite",     "fighter", "freighter", "cruiser",     "gunboat",
                                       "transport", "liner",   "bomber",    "destroyer",   "battleship",
                                       "miner",     "hauler",  "scout",     "dreadnought", "interceptor"};
constexpr std::string_view kSolarKinds[] = {"asteroids", "dockable",  "planets", "stations",
                                            "nebula",    "jumpgates", "wrecks"};
constexpr std::string_view kSolarNames[] = {"station", "outpost", "shipyard", "depot", "base",
                                            "field",   "rock",    "hulk",     "battle"};
constexpr std::string_view kEquipment[] = {"turrets",         "weapons",   "shields", "engines",    "mines",
                                           "countermeasures", "thrusters", "lights",  "commodities"};
constexpr std::string_view kEffects[] = {"explosions", "engines", "weapons", "space", "shields", "misc"};
constexpr std::string_view kCharacters[] = {"bodies", "heads", "hands", "accessories"};
constexpr std::string_view kPieces[] = {
    "body",  "cockpit", "port_wing", "star_wing", "engine", "tail",   "hull",   "bridge", "turret",
    "dock",  "lights",  "antenna",   "tower",     "ring",   "core",   "arm",    "panel",  "cargo",
    "gate",  "rock",    "pod",       "shield",    "mount",  "barrel", "base",   "door",   "hatch",
    "strut", "fin",     "radar",     "pipe",      "tank",   "crate",  "debris", "chunk",  "spire"};
constexpr std::string_view kSurfaces[] = {"hull", "detail", "glass", "light", "panel", "decal",
                                          "trim", "metal",  "grate", "vent",  "pipe",  "window",
                                          "logo", "rust",   "glow",  "base"};

// 120 folders that hold models: 17 three deep, 63 four, 30 five, 10 six.
std::vector<TFolderPlan> PlanFolders(TRandom& rnd) {
  std::vector<TFolderPlan> folders;
  auto add = [&](std::string path, double weight, double bias) {
    folders.push_back({std::move(path), weight * std::exp(rnd.Range(-0.5f, 0.5f)), bias});
  };
  std::set<std::string> used;
  auto unique = [&](auto make) {
    for (;;) {
      std::string path = make();
      if (used.insert(path).second) return path;
    }
  };

  std::vector<std::string> ships;
  for (int i = 0; i < 36; ++i)
    ships.push_back(unique([&] {
      const auto& f = kFactions[rnd.Below(std::size(kFactions))];
      return "data/ships/" + std::string(f[0]) + "/" + std::string(f[1]) + "_" + Pick(rnd, kHulls) + "/";
    }));
  for (const std::string& s : ships) add(s, 14, 1.0);
  for (size_t i = 0; i < 10; ++i) add(ships[i * 3] + "dmg/", 20, -1.2);
  for (size_t i = 0; i < 4; ++i) add(ships[i * 3 + 1] + "cockpit/props/", 10, -0.6);

  for (std::string_view k : kSolarKinds) add("data/solar/" + std::string(k) + "/", 30, 1.0);
  std::vector<std::string> solar;
  for (int i = 0; i < 18; ++i)
    solar.push_back(unique([&] {
      static constexpr std::string_view kinds[] = {"dockable", "stations", "asteroids", "wrecks"};
      return "data/solar/" + Pick(rnd, kinds) + "/" +
             std::string(kFactions[rnd.Below(std::size(kFactions))][1]) + "_" + Pick(rnd, kSolarNames) +
             TwoDigits(rnd.Below(20)) + "/";
    }));
  for (const std::string& s : solar) add(s, 12, 1.5);
  for (size_t i = 0; i < 6; ++i) add(solar[i * 3] + (i % 2 ? "fx/" : "dmg/"), 15, 0);

  for (std::string_view k : kEquipment) add("data/equipment/models/" + std::string(k) + "/", 25, -0.5);
  std::vector<std::string> equipment;
  for (int i = 0; i < 14; ++i)
    equipment.push_back(unique([&] {
      return "data/equipment/models/" + std::string(kEquipment[rnd.Below(5)]) + "/" +
             std::string(kFactions[rnd.Below(std::size(kFactions))][0]) + "/";
    }));
  for (const std::string& e : equipment) add(e, 18, -0.5);
  static constexpr std::string_view kVariants[] = {"heavy/", "light/", "fx/"};
  for (size_t i = 0; i < 6; ++i) add(equipment[i * 2] + std::string(kVariants[i % 3]), 10, -0.8);

  for (std::string_view k : kEffects) add("data/fx/" + std::string(k) + "/", 12, -1.0);
  for (std::string_view k : kCharacters) add("data/characters/" + std::string(k) + "/", 30, 0);
  return folders;
}

// Shares of `total` in proportion to the weights, at least one each (the
// largest remainders rounded up).
std::vector<size_t> Allocate(const std::vector<TFolderPlan>& folders, size_t total) {
  double sum = 0;
  for (const TFolderPlan& f : folders) sum += f.Weight;
  const double spread = static_cast<double>(total - folders.size());
  std::vector<size_t> counts(folders.size());
  std::vector<std::pair<double, size_t>> remainders;
  size_t given = 0;
  for (size_t i = 0; i < folders.size(); ++i) {
    const double share = spread * folders[i].Weight / sum;
    counts[i] = 1 + static_cast<size_t>(share);
    given += counts[i];
    remainders.emplace_back(share - std::floor(share), i);
  }
  std::sort(remainders.rbegin(), remainders.rend());
  for (size_t r = 0; given < total; ++r, ++given) ++counts[remainders[r].second];
  return counts;
}

// A name for the models of a folder: its own name, or, for a folder that
// only says what kind of pieces it holds, its owner's with that kind.
std::string StemBase(const std::string& folder) {
  static const std::set<std::string> kGeneric = {"dmg", "props", "cockpit", "heavy", "light", "fx"};
  std::vector<std::string> parts;
  for (size_t from = 0, slash; (slash = folder.find('/', from)) != std::string::npos; from = slash + 1)
    parts.push_back(folder.substr(from, slash - from));
  std::string kind;
  size_t i = parts.size();
  while (i > 1 && kGeneric.count(parts[i - 1])) {
    if (kind.empty()) kind = parts[i - 1];
    --i;
  }
  return parts[i - 1] + (kind.empty() ? "" : "_" + kind);
}

TModTree LayOut() {
  TRandom rnd(2000);
  TModTree tree;
  const std::vector<TFolderPlan> folders = PlanFolders(rnd);
  const std::vector<size_t> counts = Allocate(folders, kModels);
  for (const TFolderPlan& f : folders) tree.Folders.push_back(f.Path);

  const size_t modMaterials = Mod().Materials.size();
  for (size_t f = 0; f < folders.size(); ++f) {
    std::set<uint32_t> palette;
    const size_t size = 4 + rnd.Below(21);
    while (palette.size() < size) palette.insert(static_cast<uint32_t>(rnd.Below(modMaterials)));
    tree.Palettes.emplace_back(palette.begin(), palette.end());
  }

  // Models by folder, then their sizes: the list of sizes is fixed, and a
  // model's rank in it follows its folder's bias plus chance.
  std::vector<double> keys;
  for (size_t f = 0; f < folders.size(); ++f)
    for (size_t i = 0; i < counts[f]; ++i) {
      TTreeModel m;
      m.Folder = f;
      m.Seed = rnd.Next();
      tree.Models.push_back(m);
      keys.push_back(folders[f].SizeBias + rnd.Range(-1, 1) + rnd.Range(-1, 1) + rnd.Range(-1, 1));
    }
  std::vector<size_t> bySize(kModels);
  for (size_t i = 0; i < kModels; ++i) bySize[i] = i;
  std::sort(bySize.begin(), bySize.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  for (size_t r = 0; r < kModels; ++r)
    tree.Models[bySize[r]].TargetBytes =
        static_cast<uint32_t>(SizeAt((static_cast<double>(r) + 0.5) / static_cast<double>(kModels)));

  // Which hold no mesh data, and which carry their own libraries.
  auto choose = [&](size_t count, auto eligible, auto apply) {
    std::vector<size_t> candidates;
    for (size_t i = 0; i < kModels; ++i)
      if (eligible(tree.Models[i])) candidates.push_back(i);
    rnd.Shuffle(candidates);
    if (candidates.size() < count) candidates.resize(count);  // cannot happen with the sizes above
    for (size_t k = 0; k < count; ++k) apply(tree.Models[candidates[k]]);
  };
  choose(
      kPartsOnly, [](const TTreeModel& m) { return m.TargetBytes >= 2000 && m.TargetBytes <= 40000; },
      [](TTreeModel& m) { m.Kind = ETreeKind::PartsOnly; });
  choose(
      kLibraryOnly, [](const TTreeModel& m) { return m.Kind == ETreeKind::Mesh && m.TargetBytes <= 400000; },
      [](TTreeModel& m) {
        m.Kind = ETreeKind::LibraryOnly;
        m.OwnLibraries = true;
      });
  choose(
      kOwnLibraries, [](const TTreeModel& m) { return m.Kind == ETreeKind::Mesh && m.TargetBytes >= 6000; },
      [](TTreeModel& m) { m.OwnLibraries = true; });

  // Names: the first model of a folder after the folder, the others after
  // its pieces; one piece without a part table is a .3db file.
  std::vector<std::string> stems(kModels), endings(kModels);
  std::vector<std::vector<size_t>> inFolder(folders.size());
  for (size_t i = 0; i < kModels; ++i) {
    TTreeModel& m = tree.Models[i];
    inFolder[m.Folder].push_back(i);
    switch (m.Kind) {
      case ETreeKind::Mesh:
        m.Lone = m.TargetBytes < 8000 || (m.TargetBytes < 30000 && m.Seed % 2 == 0);
        endings[i] = m.Lone ? ".3db" : ".cmp";
        break;
      case ETreeKind::LibraryOnly: endings[i] = m.Seed % 2 ? ".3db" : ".cmp"; break;
      case ETreeKind::PartsOnly: endings[i] = ".cmp"; break;
    }
  }
  for (size_t f = 0; f < folders.size(); ++f) {
    const std::string base = StemBase(folders[f].Path);
    std::set<std::string> taken;
    for (size_t k = 0; k < inFolder[f].size(); ++k) {
      std::string stem = base;
      while (k > 0 && !taken
                           .insert(stem = base + "_" + Pick(rnd, kPieces) +
                                          (rnd.Below(3) == 0 ? "" : TwoDigits(rnd.Below(40))))
                           .second) {
      }
      if (k == 0) taken.insert(stem);
      stems[inFolder[f][k]] = stem;
    }
  }
  // Pairs that differ only in their ending: a model saved again in the
  // other form beside the first.
  std::vector<size_t> pairFolders;
  for (size_t f = 0; f < folders.size(); ++f)
    if (inFolder[f].size() >= 2) pairFolders.push_back(f);
  rnd.Shuffle(pairFolders);
  for (size_t p = 0; p < kPairs; ++p) {
    const std::vector<size_t>& models = inFolder[pairFolders[p]];
    stems[models[1]] = stems[models[0]];
    endings[models[1]] = endings[models[0]] == ".cmp" ? ".3db" : ".cmp";
  }
  for (size_t i = 0; i < kModels; ++i)
    tree.Models[i].Relative = folders[tree.Models[i].Folder].Path + stems[i] + endings[i];
  // The program's order: its paths compared byte by byte (all lower case here).
  std::sort(tree.Models.begin(), tree.Models.end(),
            [](const TTreeModel& a, const TTreeModel& b) { return a.Relative < b.Relative; });

  std::vector<size_t> matFolders(folders.size());
  for (size_t f = 0; f < folders.size(); ++f) matFolders[f] = f;
  rnd.Shuffle(matFolders);
  const size_t files = Mod().Files.size();
  for (size_t i = 0; i < files; ++i)
    tree.MatFiles.push_back({folders[matFolders[i * kMatFolders / files]].Path + Mod().Files[i].Name, i});
  return tree;
}

// Image layouts a model's own texture library takes.
struct TImageShape {
  bool Dds;
  uint16_t Width, Height;
  uint8_t Format;
};
constexpr TImageShape kImageShapes[] = {
    {false, 16, 16, 32}, {true, 32, 32, 1},   {false, 32, 32, 32}, {true, 64, 64, 1},
    {true, 64, 64, 5},   {false, 64, 64, 24}, {true, 128, 128, 1}, {true, 128, 128, 5},
    {true, 256, 256, 1}, {true, 256, 256, 5}, {true, 512, 512, 1}, {true, 512, 512, 5},
};

TModTexture Shaped(const TImageShape& s, std::string name) {
  return s.Dds ? DdsTexture(std::move(name) + ".dds", s.Width, s.Height, s.Format)
               : TgaTexture(std::move(name) + ".tga", s.Width, s.Height, s.Format);
}

// Images named after the model that come to about `budget` bytes, each at
// least an eighth of what is left, so that a large budget takes a few large
// images; one at least.
std::vector<TModTexture> OwnImages(const std::string& stem, double budget, TRandom& rnd) {
  std::vector<TModTexture> images;
  std::set<std::string> names;
  for (;;) {
    std::vector<TModTexture> fitting;
    TModTexture largest;
    for (const TImageShape& s : kImageShapes) {
      TModTexture t = Shaped(s, "");
      if (t.Size > budget) continue;
      if (t.Size >= budget / 8) fitting.push_back(t);
      if (t.Size > largest.Size) largest = t;
    }
    if (fitting.empty() && largest.Size > 0) fitting.push_back(largest);
    if (fitting.empty()) {
      if (!images.empty()) return images;
      fitting.push_back(Shaped(kImageShapes[0], ""));
    }
    const TModTexture& pick = fitting[rnd.Below(fitting.size())];
    std::string name;
    do name = stem + "_" + Pick(rnd, kSurfaces) + (names.empty() ? "" : TwoDigits(rnd.Below(100)));
    while (!names.insert(name).second);
    TModTexture t = pick;
    t.Name = name + t.Name;
    budget -= t.Size;
    images.push_back(std::move(t));
  }
}

std::string BaseName(const std::string& fileName) {
  return fileName.substr(0, fileName.rfind('.'));
}

// A material for each own image, a few of the model's naming images of the
// modification's files or one that is gone, and some of the folder's
// materials listed by the model too (which the material files override).
std::vector<std::pair<std::string, std::string>> OwnLibrary(const std::string& stem,
                                                            const std::vector<TModTexture>& images,
                                                            const std::vector<uint32_t>& palette,
                                                            TRandom& rnd) {
  std::vector<std::pair<std::string, std::string>> library;
  for (const TModTexture& t : images) library.emplace_back(BaseName(t.Name), t.Name);
  const size_t modImages = rnd.Below(3);
  for (size_t i = 0; i < modImages; ++i)
    library.emplace_back(stem + "_mod" + TwoDigits(i), Mod().Textures[rnd.Below(Mod().Textures.size())].Name);
  if (rnd.Below(3) == 0) library.emplace_back(stem + "_old", stem + "_old.dds");
  const size_t overridden = rnd.Below(3);
  for (size_t i = 0; i < overridden; ++i)
    library.emplace_back(Mod().Materials[palette[rnd.Below(palette.size())]].Name, images[0].Name);
  return library;
}

// Levels of detail, each coarser than the one before.
struct TShape {
  int Parts, Pieces, Levels;
  bool Faceted;
};

double LevelShare(const TShape& s, int level) {
  static constexpr double kSmooth[] = {1, 0.5, 0.25, 0.125, 0.0625, 0.03125};
  // Large models keep more of their detail in the lower levels.
  static constexpr double kFaceted[] = {1, 0.8, 0.6, 0.45, 0.3, 0.2};
  return (s.Faceted ? kFaceted : kSmooth)[level];
}

// Each part's pieces per level, for `quads` quads of tube over all parts at
// level 0: tubes, and a box last when the level has more than one piece.
std::vector<std::vector<TPiece>> Pieces(const TShape& s, double quads) {
  std::vector<std::vector<TPiece>> levels;
  for (int l = 0; l < s.Levels; ++l) {
    const int n = std::max(1, s.Pieces - l);
    const int tubes = n > 1 ? n - 1 : 1;
    const double q = quads * LevelShare(s, l) / (s.Parts * tubes);
    const int segments = std::max(3, static_cast<int>(std::lround(std::sqrt(2 * q))));
    const int rings = std::max(1, static_cast<int>(std::lround(q / segments)));
    std::vector<TPiece> level(static_cast<size_t>(tubes), TPiece{segments, rings});
    if (n > 1) level.push_back({0, 0});
    levels.push_back(std::move(level));
  }
  return levels;
}

struct TGeometry {
  uint64_t Bytes = 0;  // of vertices and triangles
  bool Fits = true;    // every block within 65535 vertices and 21845 triangles
};

TGeometry Measure(const TShape& s, const std::vector<std::vector<TPiece>>& levels) {
  TGeometry g;
  for (const std::vector<TPiece>& level : levels) {
    uint64_t vertices = 0, triangles = 0;
    for (const TPiece& p : level) {
      if (p.Rings == 0) {
        vertices += 24;
        triangles += 12;
      } else {
        const auto quads = static_cast<uint64_t>(p.Segments) * static_cast<uint64_t>(p.Rings);
        vertices += s.Faceted ? 4 * quads
                              : static_cast<uint64_t>(p.Segments + 1) * static_cast<uint64_t>(p.Rings + 1);
        triangles += 2 * quads;
      }
    }
    vertices *= static_cast<uint64_t>(s.Parts);
    triangles *= static_cast<uint64_t>(s.Parts);
    g.Bytes += 32 * vertices + 6 * triangles;
    g.Fits = g.Fits && vertices <= 65535 && triangles <= 21845;
  }
  return g;
}

// The most quads whose geometry stays within `budget` bytes and the
// block limits (bisection: the bytes grow with the quads, but for rounding).
double QuadsFor(const TShape& s, double budget) {
  double lo = 0, hi = 4e5;
  for (int i = 0; i < 60; ++i) {
    const double mid = (lo + hi) / 2;
    const TGeometry g = Measure(s, Pieces(s, mid));
    (g.Fits && static_cast<double>(g.Bytes) <= budget ? lo : hi) = mid;
  }
  return lo;
}

Bytes MeshModelBytes(const TModTree& tree, const TTreeModel& m, const std::string& stem) {
  TRandom rnd(m.Seed);
  const double target = m.TargetBytes;
  TModModelPlan plan;
  plan.Prefix = stem;
  plan.Seed = m.Seed;
  plan.Lone = m.Lone;
  TShape shape{};
  shape.Parts = m.Lone           ? 1
                : target < 30e3  ? 2 + static_cast<int>(rnd.Below(3))
                : target < 150e3 ? 3 + static_cast<int>(rnd.Below(6))
                : target < 600e3 ? 6 + static_cast<int>(rnd.Below(11))
                                 : 12 + static_cast<int>(rnd.Below(21));
  shape.Pieces = target < 8e3    ? 1
                 : target < 60e3 ? 1 + static_cast<int>(rnd.Below(2))
                                 : 2 + static_cast<int>(rnd.Below(2));
  shape.Levels = target < 8e3     ? 1
                 : target < 30e3  ? 1 + static_cast<int>(rnd.Below(2))
                 : target < 150e3 ? 2 + static_cast<int>(rnd.Below(2))
                                  : 3;
  shape.Faceted = target > 600e3;
  plan.Faceted = shape.Faceted;
  plan.Parts = shape.Parts;
  plan.HardpointsPerPart = static_cast<int>(rnd.Below(m.Lone ? 3 : 5));

  // The folder's materials it uses, and some listed nowhere.
  const std::vector<uint32_t>& palette = tree.Palettes[m.Folder];
  std::vector<std::string> shared;
  const size_t fromPalette = 1 + rnd.Below(std::min<size_t>(m.OwnLibraries ? 5 : 8, palette.size()));
  for (size_t i = 0; i < fromPalette; ++i)
    shared.push_back(Mod().Materials[palette[rnd.Below(palette.size())]].Name);
  const size_t unlisted = rnd.Below(3);
  for (size_t i = 0; i < unlisted; ++i) shared.push_back(stem + "_spare" + TwoDigits(i));

  // What the model holds besides its vertices and triangles, from the
  // model with the least of them; then as many as make up the size. When
  // even the least is too much, the model's own images are made smaller.
  double imageShare = rnd.Range(0.15f, 0.45f);
  double budget = 0;
  for (uint64_t attempt = 0;; ++attempt) {
    TRandom own(m.Seed + 1 + attempt);
    std::vector<std::string> materials = shared;
    if (m.OwnLibraries) {
      plan.Images = OwnImages(stem, target * imageShare, own);
      plan.Library = OwnLibrary(stem, plan.Images, palette, own);
      for (const auto& [name, texture] : plan.Library) materials.push_back(name);
    }
    TRandom order(m.Seed + 100);
    order.Shuffle(materials);
    plan.MeshMaterials = std::move(materials);
    plan.Levels = Pieces(shape, 0);
    const double least = static_cast<double>(Measure(shape, plan.Levels).Bytes);
    budget = target - (static_cast<double>(ModModel(plan).size()) - least);
    if (budget >= least || !m.OwnLibraries || attempt == 4) break;
    imageShare /= 2;
  }
  double quads = QuadsFor(shape, budget);
  // A block holds 21845 triangles at most: the largest models need more
  // levels of detail.
  while (shape.Levels < 6 &&
         static_cast<double>(Measure(shape, Pieces(shape, quads)).Bytes) < 0.97 * budget &&
         !Measure(shape, Pieces(shape, quads * 1.05)).Fits) {
    ++shape.Levels;
    quads = QuadsFor(shape, budget);
  }
  plan.Levels = Pieces(shape, quads);
  return ModModel(plan);
}

Bytes LibraryOnlyBytes(const TModTree& tree, const TTreeModel& m, const std::string& stem) {
  // The images take what the material folders and entries leave, as the
  // last try found them.
  double overhead = 0;
  Bytes file;
  for (int attempt = 0; attempt < 3; ++attempt) {
    TRandom rnd(m.Seed);
    const std::vector<TModTexture> images = OwnImages(stem, m.TargetBytes - overhead, rnd);
    std::vector<TNodeSpec> materials, entries;
    for (const auto& [name, texture] : OwnLibrary(stem, images, tree.Palettes[m.Folder], rnd))
      materials.push_back(MaterialFolder(name, texture));
    double imageBytes = 0;
    for (const TModTexture& t : images) {
      entries.push_back(TextureEntry(t));
      imageBytes += t.Size;
    }
    file = BuildUtf(
        {Folder("material library", std::move(materials)), Folder("Texture library", std::move(entries))});
    overhead = static_cast<double>(file.size()) - imageBytes;
  }
  return file;
}

Bytes PartsOnlyBytes(const TTreeModel& m, const std::string& stem) {
  TRandom rnd(m.Seed);
  TModModelPlan plan;
  plan.Prefix = stem;
  plan.Seed = m.Seed;
  plan.Levels = {{{0, 0}}, {{0, 0}}};
  plan.MeshMaterials = {stem + "_hull"};
  plan.HardpointsPerPart = 1 + static_cast<int>(rnd.Below(6));
  plan.WithoutMeshLibrary = true;
  // Names repeat from the second part on, and the name table holds each
  // once: what a part adds is measured from two to three.
  plan.Parts = 2;
  const double two = static_cast<double>(ModModel(plan).size());
  plan.Parts = 3;
  const double perPart = static_cast<double>(ModModel(plan).size()) - two;
  plan.Parts = std::clamp(2 + static_cast<int>(std::lround((m.TargetBytes - two) / perPart)), 1, 400);
  return ModModel(plan);
}

}  // namespace

const TModTree& ModTree() {
  static const TModTree tree = LayOut();
  return tree;
}

Bytes TreeModelBytes(const TModTree& tree, size_t i) {
  const TTreeModel& m = tree.Models.at(i);
  const size_t slash = m.Relative.rfind('/');
  const std::string stem = BaseName(m.Relative.substr(slash + 1));
  switch (m.Kind) {
    case ETreeKind::Mesh: return MeshModelBytes(tree, m, stem);
    case ETreeKind::LibraryOnly: return LibraryOnlyBytes(tree, m, stem);
    case ETreeKind::PartsOnly: return PartsOnlyBytes(m, stem);
  }
  return {};
}

}  // namespace bwbench
