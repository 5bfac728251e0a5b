#include "bench_tree.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <string_view>

#include "bench_gen_helpers.h"
#include "bench_mod.h"
#include "bench_models.h"

namespace bwbench {
namespace {

using namespace bwtest;

constexpr size_t kModels = 2000, kPartsOnly = 150, kLibraryOnly = 225, kOwnLibraries = 850;
constexpr size_t kPairs = 9, kMatFolders = 50;

// Model sizes at quantiles of the list: a few damage pieces and lights of a
// couple of KB, the median piece of equipment about 23 KB, one model in ten
// above 350 KB (ships and stations), the largest a station of 3.9 MB.
constexpr TKnot kSizes[] = {{0.00025, 1.5e3}, {0.1, 5e3},   {0.25, 10e3},  {0.5, 23e3},
                            {0.75, 75e3},     {0.9, 350e3}, {0.98, 1.2e6}, {0.99975, 3.9e6}};

struct TFolderPlan {
  std::string Path;
  double Weight;    // its share of the models
  double SizeBias;  // larger models (stations) or smaller (damage pieces)
};

constexpr std::string_view kFactions[][2] = {{"liberty", "li"},   {"bretonia", "br"},   {"kusari", "ku"},
                                             {"rheinland", "rh"}, {"corsair", "co"},    {"pirate", "pi"},
                                             {"generic", "ge"},   {"borderworld", "bw"}};
constexpr std::string_view kHulls[] = {"elite",     "fighter", "freighter", "cruiser",     "gunboat",
                                       "transport", "liner",   "bomber",    "destroyer",   "battleship",
                                       "miner",     "hauler",  "scout",     "dreadnought", "interceptor"};
constexpr std::string_view kSolarKinds[] = {"asteroids", "dockable",  "planets", "stations",
                                            "nebula",    "jumpgates", "wrecks"};
constexpr std::string_view kSolarNames[] = {"station", "outpost", "shipyard", "depot", "base",
                                            "field",   "rock",    "hulk",     "battle"};
constexpr std::string_view kEquipment[] = {"turrets",         "weapons",   "shields", "engines",    "mines",
                                           "countermeasures", "thrusters", "lights",  "commodities"};
constexpr std::string_view kPieces[] = {
    "body",  "cockpit", "port_wing", "star_wing", "engine", "tail",   "hull",   "bridge", "turret",
    "dock",  "lights",  "antenna",   "tower",     "ring",   "core",   "arm",    "panel",  "cargo",
    "gate",  "rock",    "pod",       "shield",    "mount",  "barrel", "base",   "door",   "hatch",
    "strut", "fin",     "radar",     "pipe",      "tank",   "crate",  "debris", "chunk",  "spire"};

// 120 folders that hold models: 17 three deep, 63 four, 30 five, 10 six.
std::vector<TFolderPlan> PlanFolders(TRandom& rnd) {
  std::vector<TFolderPlan> folders;
  auto add = [&](std::string path, double weight, double bias) {
    folders.push_back({std::move(path), weight * std::exp(rnd.Range(-0.5f, 0.5f)), bias});
  };
  std::set<std::string> used;
  // `count` paths from `make`, none twice.
  auto unique = [&](int count, auto make) {
    std::vector<std::string> paths;
    while (static_cast<int>(paths.size()) < count)
      if (std::string path = make(); used.insert(path).second) paths.push_back(std::move(path));
    return paths;
  };

  const std::vector<std::string> ships = unique(36, [&] {
    const auto& f = rnd.Pick(kFactions);
    return "data/ships/" + std::string(f[0]) + "/" + std::string(f[1]) + "_" + std::string(rnd.Pick(kHulls)) +
           "/";
  });
  for (const std::string& s : ships) add(s, 14, 1.0);
  for (size_t i = 0; i < 10; ++i) add(ships[i * 3] + "dmg/", 20, -1.2);
  for (size_t i = 0; i < 4; ++i) add(ships[i * 3 + 1] + "cockpit/props/", 10, -0.6);

  for (std::string_view k : kSolarKinds) add("data/solar/" + std::string(k) + "/", 30, 1.0);
  const std::vector<std::string> solar = unique(18, [&] {
    static constexpr std::string_view kinds[] = {"dockable", "stations", "asteroids", "wrecks"};
    return "data/solar/" + std::string(rnd.Pick(kinds)) + "/" + std::string(rnd.Pick(kFactions)[1]) + "_" +
           std::string(rnd.Pick(kSolarNames)) + Numbered("", rnd.Below(20), 2) + "/";
  });
  for (const std::string& s : solar) add(s, 12, 1.5);
  for (size_t i = 0; i < 6; ++i) add(solar[i * 3] + (i % 2 ? "fx/" : "dmg/"), 15, 0);

  for (std::string_view k : kEquipment) add("data/equipment/models/" + std::string(k) + "/", 25, -0.5);
  const std::vector<std::string> equipment = unique(14, [&] {
    return "data/equipment/models/" + std::string(kEquipment[rnd.Below(5)]) + "/" +
           std::string(rnd.Pick(kFactions)[0]) + "/";
  });
  for (const std::string& e : equipment) add(e, 18, -0.5);
  static constexpr std::string_view kVariants[] = {"heavy/", "light/", "fx/"};
  for (size_t i = 0; i < 6; ++i) add(equipment[i * 2] + std::string(kVariants[i % 3]), 10, -0.8);

  for (std::string k : {"explosions", "engines", "weapons", "space", "shields", "misc"})
    add("data/fx/" + k + "/", 12, -1.0);
  for (std::string k : {"bodies", "heads", "hands", "accessories"}) add("data/characters/" + k + "/", 30, 0);
  return folders;
}

// Models by folder, one each and the rest by the folders' weights (the
// largest remainders rounded up); then their sizes: a fixed list, a model's
// rank in it following its folder's bias plus chance.
void AddModels(TModTree& tree, const std::vector<TFolderPlan>& folders, TRandom& rnd) {
  double sum = 0;
  for (const TFolderPlan& f : folders) sum += f.Weight;
  const double spread = static_cast<double>(kModels - folders.size());
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
  for (size_t r = 0; given < kModels; ++r, ++given) ++counts[remainders[r].second];

  std::vector<double> keys;
  for (size_t f = 0; f < folders.size(); ++f)
    for (size_t i = 0; i < counts[f]; ++i) {
      tree.Models.emplace_back().Folder = f;
      tree.Models.back().Seed = rnd.Next();
      keys.push_back(folders[f].SizeBias + rnd.Range(-1, 1) + rnd.Range(-1, 1) + rnd.Range(-1, 1));
    }
  std::vector<size_t> bySize(kModels);
  std::iota(bySize.begin(), bySize.end(), size_t{0});
  std::sort(bySize.begin(), bySize.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  for (size_t r = 0; r < kModels; ++r)
    tree.Models[bySize[r]].TargetBytes =
        static_cast<uint32_t>(SizeAt(kSizes, (static_cast<double>(r) + 0.5) / static_cast<double>(kModels)));
}

// Which hold no mesh data, and which carry their own libraries.
void ChooseKinds(TModTree& tree, TRandom& rnd) {
  // `count` of the models `eligible` takes, at random, made `kind` and `own` (libraries).
  auto choose = [&](size_t count, ETreeKind kind, bool own, auto eligible) {
    std::vector<TTreeModel*> candidates;
    for (TTreeModel& m : tree.Models)
      if (eligible(m)) candidates.push_back(&m);
    rnd.Shuffle(candidates);
    for (size_t k = 0; k < count; ++k) {  // there are more than enough with the sizes above
      candidates.at(k)->Kind = kind;
      candidates[k]->OwnLibraries = own;
    }
  };
  choose(kPartsOnly, ETreeKind::PartsOnly, false,
         [](auto& m) { return m.TargetBytes >= 2000 && m.TargetBytes <= 40000; });
  choose(kLibraryOnly, ETreeKind::LibraryOnly, true,
         [](auto& m) { return m.Kind == ETreeKind::Mesh && m.TargetBytes <= 400000; });
  choose(kOwnLibraries, ETreeKind::Mesh, true,
         [](auto& m) { return m.Kind == ETreeKind::Mesh && m.TargetBytes >= 6000; });
}

// A name for the models of a folder: its own name, or, for a folder that
// only says what kind of pieces it holds, its owner's with that kind.
std::string StemBase(const std::string& folder) {
  static const std::set<std::string> kGeneric = {"dmg", "props", "cockpit", "heavy", "light", "fx"};
  std::vector<std::string> parts;
  for (size_t from = 0, slash; (slash = folder.find('/', from)) != std::string::npos; from = slash + 1)
    parts.push_back(folder.substr(from, slash - from));
  size_t i = parts.size();
  while (i > 1 && kGeneric.count(parts[i - 1])) --i;
  return parts[i - 1] + (i < parts.size() ? "_" + parts.back() : "");
}

// Names: the first model of a folder after the folder, the others after
// its pieces; one piece without a part table is a .3db file. Then the
// models in the program's order: their paths compared byte by byte (all
// lower case here).
void NameModels(TModTree& tree, const std::vector<TFolderPlan>& folders, TRandom& rnd) {
  std::vector<std::string> stems(kModels), endings(kModels);
  std::vector<std::vector<size_t>> inFolder(folders.size());
  for (size_t i = 0; i < kModels; ++i) {
    TTreeModel& m = tree.Models[i];
    inFolder[m.Folder].push_back(i);
    m.Lone =
        m.Kind == ETreeKind::Mesh && (m.TargetBytes < 8000 || (m.TargetBytes < 30000 && m.Seed % 2 == 0));
    // Half the libraries alone are saved as .3db too.
    endings[i] = m.Lone || (m.Kind == ETreeKind::LibraryOnly && m.Seed % 2) ? ".3db" : ".cmp";
  }
  for (size_t f = 0; f < folders.size(); ++f) {
    const std::string base = StemBase(folders[f].Path);
    std::set<std::string> taken = {base};
    stems[inFolder[f][0]] = base;
    for (size_t k = 1; k < inFolder[f].size(); ++k) {
      std::string& stem = stems[inFolder[f][k]];
      do
        stem = base + "_" + std::string(rnd.Pick(kPieces)) +
               (rnd.Below(3) == 0 ? "" : Numbered("", rnd.Below(40), 2));
      while (!taken.insert(stem).second);
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
  std::sort(tree.Models.begin(), tree.Models.end(),
            [](const TTreeModel& a, const TTreeModel& b) { return a.Relative < b.Relative; });
}

TModTree LayOut() {
  TRandom rnd(2000);
  TModTree tree;
  const std::vector<TFolderPlan> folders = PlanFolders(rnd);
  for (size_t f = 0; f < folders.size(); ++f) {
    std::set<uint32_t> palette;
    const size_t size = 4 + rnd.Below(21);
    while (palette.size() < size) palette.insert(static_cast<uint32_t>(rnd.Below(Mod().Materials.size())));
    tree.Palettes.emplace_back(palette.begin(), palette.end());
  }
  AddModels(tree, folders, rnd);
  ChooseKinds(tree, rnd);
  NameModels(tree, folders, rnd);

  std::vector<size_t> matFolders(folders.size());
  std::iota(matFolders.begin(), matFolders.end(), size_t{0});
  rnd.Shuffle(matFolders);
  const size_t files = Mod().Files.size();
  for (size_t i = 0; i < files; ++i)
    tree.MatFiles.push_back({folders[matFolders[i * kMatFolders / files]].Path + Mod().Files[i].Name, i});
  return tree;
}

// Images named after the model that come to about `budget` bytes, each at
// least an eighth of what is left, so that a large budget takes a few large
// images; one at least.
std::vector<TModTexture> OwnImages(const std::string& stem, double budget, TRandom& rnd) {
  // The layouts they take, named only by their ending.
  static const std::vector<TModTexture> kLayouts = {
      Texture(".tga", 16, 16, 32),  Texture(".dds", 32, 32, 1),   Texture(".tga", 32, 32, 32),
      Texture(".dds", 64, 64, 1),   Texture(".dds", 64, 64, 5),   Texture(".tga", 64, 64, 24),
      Texture(".dds", 128, 128, 1), Texture(".dds", 128, 128, 5), Texture(".dds", 256, 256, 1),
      Texture(".dds", 256, 256, 5), Texture(".dds", 512, 512, 1), Texture(".dds", 512, 512, 5)};
  std::vector<TModTexture> images;
  std::set<std::string> names;
  for (;;) {
    std::vector<TModTexture> fitting;
    TModTexture largest;
    for (const TModTexture& t : kLayouts) {
      if (t.Size > budget) continue;
      if (t.Size >= budget / 8) fitting.push_back(t);
      if (t.Size > largest.Size) largest = t;
    }
    if (fitting.empty() && largest.Size == 0 && !images.empty()) return images;
    if (fitting.empty()) fitting.push_back(largest.Size > 0 ? largest : kLayouts[0]);
    TModTexture t = fitting[rnd.Below(fitting.size())];
    std::string name;
    do
      name = stem + "_" + std::string(rnd.Pick(kSurfaces)) +
             (names.empty() ? "" : Numbered("", rnd.Below(100), 2));
    while (!names.insert(name).second);
    t.Name = name + t.Name;
    budget -= t.Size;
    images.push_back(std::move(t));
  }
}

// A material for each own image, a few of the model's naming images of the
// modification's files or one that is gone, and some of the folder's
// materials listed by the model too (which the material files override).
decltype(TModModelPlan::Library) OwnLibrary(const std::string& stem, const std::vector<TModTexture>& images,
                                            const std::vector<uint32_t>& palette, TRandom& rnd) {
  decltype(TModModelPlan::Library) library;
  for (const TModTexture& t : images) library.emplace_back(BaseName(t.Name), t.Name);
  for (size_t i = 0, modImages = rnd.Below(3); i < modImages; ++i)
    library.emplace_back(stem + Numbered("_mod", i, 2),
                         Mod().Textures[rnd.Below(Mod().Textures.size())].Name);
  if (rnd.Below(3) == 0) library.emplace_back(stem + "_old", stem + "_old.dds");
  for (size_t i = 0, overridden = rnd.Below(3); i < overridden; ++i)
    library.emplace_back(Mod().Materials[palette[rnd.Below(palette.size())]].Name, images[0].Name);
  return library;
}

// Levels of detail, each coarser than the one before.
struct TShape {
  int Parts, Pieces, Levels;
  bool Faceted;
};

// Each part's pieces per level, for `quads` quads of tube over all parts at
// level 0: tubes, and a box last when the level has more than one piece.
std::vector<std::vector<TPiece>> Pieces(const TShape& s, double quads) {
  static constexpr double kSmooth[] = {1, 0.5, 0.25, 0.125, 0.0625, 0.03125};
  // Large models keep more of their detail in the lower levels.
  static constexpr double kFaceted[] = {1, 0.8, 0.6, 0.45, 0.3, 0.2};
  std::vector<std::vector<TPiece>> levels;
  for (int l = 0; l < s.Levels; ++l) {
    const int n = std::max(1, s.Pieces - l);
    const int tubes = n > 1 ? n - 1 : 1;
    const double q = quads * (s.Faceted ? kFaceted : kSmooth)[l] / (s.Parts * tubes);
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
    for (const TPiece& p : level) {  // a box: six quads of four corners each
      const auto segments = static_cast<uint64_t>(p.Segments), rings = static_cast<uint64_t>(p.Rings);
      const uint64_t quads = rings == 0 ? 6 : segments * rings;
      vertices += rings == 0 || s.Faceted ? 4 * quads : (segments + 1) * (rings + 1);
      triangles += 2 * quads;
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

Bytes MeshModelBytes(const TModTree& tree, const TTreeModel& m, TModModelPlan plan, TRandom& rnd) {
  // More parts, pieces and levels as the model grows, faceted hulls for the largest.
  const double target = m.TargetBytes;
  auto below = [&](size_t n) { return static_cast<int>(rnd.Below(n)); };
  TShape shape{};
  shape.Parts = m.Lone           ? 1
                : target < 30e3  ? 2 + below(3)
                : target < 150e3 ? 3 + below(6)
                : target < 600e3 ? 6 + below(11)
                                 : 12 + below(21);
  shape.Pieces = target < 8e3 ? 1 : target < 60e3 ? 1 + below(2) : 2 + below(2);
  shape.Levels = target < 8e3 ? 1 : target < 30e3 ? 1 + below(2) : target < 150e3 ? 2 + below(2) : 3;
  shape.Faceted = target > 600e3;
  plan.Lone = m.Lone;
  plan.Faceted = shape.Faceted;
  plan.Parts = shape.Parts;
  plan.HardpointsPerPart = below(m.Lone ? 3 : 5);

  // The folder's materials it uses, and some listed nowhere.
  const std::vector<uint32_t>& palette = tree.Palettes[m.Folder];
  std::vector<std::string> shared;
  const size_t fromPalette = 1 + rnd.Below(std::min<size_t>(m.OwnLibraries ? 5 : 8, palette.size()));
  for (size_t i = 0; i < fromPalette; ++i)
    shared.push_back(Mod().Materials[palette[rnd.Below(palette.size())]].Name);
  for (size_t i = 0, unlisted = rnd.Below(3); i < unlisted; ++i)
    shared.push_back(plan.Prefix + Numbered("_spare", i, 2));

  // What the model holds besides its vertices and triangles, from the
  // model with the least of them; then as many as make up the size. When
  // even the least is too much, the model's own images are made smaller.
  double imageShare = rnd.Range(0.15f, 0.45f), budget = 0;
  for (uint64_t attempt = 0;; ++attempt) {
    TRandom own(m.Seed + 1 + attempt);
    plan.MeshMaterials = shared;
    if (m.OwnLibraries) {
      plan.Images = OwnImages(plan.Prefix, target * imageShare, own);
      plan.Library = OwnLibrary(plan.Prefix, plan.Images, palette, own);
      for (const auto& [name, texture] : plan.Library) plan.MeshMaterials.push_back(name);
    }
    TRandom(m.Seed + 100).Shuffle(plan.MeshMaterials);
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

Bytes LibraryOnlyBytes(const TModTree& tree, const TTreeModel& m, TModModelPlan plan) {
  plan.Parts = 0;
  // The images take what the material folders and entries leave, as the
  // last try found them.
  double overhead = 0;
  Bytes file;
  for (int attempt = 0; attempt < 3; ++attempt) {
    TRandom rnd(m.Seed);
    plan.Images = OwnImages(plan.Prefix, m.TargetBytes - overhead, rnd);
    plan.Library = OwnLibrary(plan.Prefix, plan.Images, tree.Palettes[m.Folder], rnd);
    file = ModModel(plan);
    overhead = static_cast<double>(file.size());
    for (const TModTexture& t : plan.Images) overhead -= t.Size;
  }
  return file;
}

Bytes PartsOnlyBytes(const TTreeModel& m, TModModelPlan plan, TRandom& rnd) {
  plan.Levels = {{{0, 0}}, {{0, 0}}};
  plan.MeshMaterials = {plan.Prefix + "_hull"};
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
  TModModelPlan plan;  // named after the file
  plan.Prefix = BaseName(m.Relative.substr(m.Relative.rfind('/') + 1));
  plan.Seed = m.Seed;
  TRandom rnd(m.Seed);
  switch (m.Kind) {
    case ETreeKind::Mesh: return MeshModelBytes(tree, m, std::move(plan), rnd);
    case ETreeKind::LibraryOnly: return LibraryOnlyBytes(tree, m, std::move(plan));
    case ETreeKind::PartsOnly: return PartsOnlyBytes(m, std::move(plan), rnd);
  }
  return {};
}

}  // namespace bwbench
