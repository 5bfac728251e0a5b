#include "bench_models.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "bench_gen_helpers.h"
#include "bench_mod.h"
#include "parts_builder.h"

namespace bwbench {
namespace {

using namespace bwtest;

// The mesh data blocks of MeshModel, CompoundModel, NodesModel and ChainModel.
const std::string kLod0 = "Bench.LOD0.vms", kLod1 = "Bench.LOD1.vms";

std::string MaterialName(int i) {
  return Numbered("Mat_", i, 3);
}

Bytes MaterialFile(int materialCount) {
  std::vector<TNodeSpec> materials;
  for (int i = 0; i < materialCount; ++i)
    materials.push_back(Folder(MaterialName(i), {TextLeaf("Dt_name", "textures\\" + MaterialName(i) + ".tga"),
                                                 Leaf("Dt_flags", Word(64))}));
  return BuildUtf({Folder("material library", std::move(materials))});
}

// Collects the meshes of one mesh data block.
class TBlock {
 public:
  // Starts a mesh; vertices and triangles added until the next call are its.
  void BeginMesh(int material) { BeginMesh(MaterialName(material)); }
  void BeginMesh(const std::string& material) {
    FBlock.Meshes.push_back({TestNameHash(material), FVertexCount, FVertexCount, 0});
  }
  uint16_t Vertex(float x, float y, float z, float u, float v) {
    const Bytes rec = VertexRecord(32, x, y, z, u, v);
    FBlock.Vertices.insert(FBlock.Vertices.end(), rec.begin(), rec.end());
    TMeshSpec& mesh = FBlock.Meshes.back();
    mesh.EndVertex = FVertexCount++;
    return static_cast<uint16_t>(mesh.EndVertex - mesh.StartVertex);
  }
  void Triangle(uint16_t a, uint16_t b, uint16_t c) {
    FBlock.Triangles.push_back({a, b, c});
    FBlock.Meshes.back().VertexRefCount = static_cast<uint16_t>(FBlock.Meshes.back().VertexRefCount + 3);
  }
  // Two triangles over corners in turn around a quad.
  void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    Triangle(a, b, c);
    Triangle(a, c, d);
  }
  uint16_t MeshCount() const { return static_cast<uint16_t>(FBlock.Meshes.size()); }
  // The block as a level of detail of the mesh library.
  TNodeSpec Lod(const std::string& name) const {
    return Folder(name, {Leaf("VMeshData", BuildMeshBlock(FBlock))});
  }

 private:
  TBlockSpec FBlock;
  uint16_t FVertexCount = 0;
};

// A box with four corners per face: 24 vertices, 12 triangles.
void AddBox(TBlock& block, const std::string& material, std::array<float, 3> c, std::array<float, 3> s) {
  block.BeginMesh(material);
  for (const auto& face : BoxFaces(c, s)) {
    uint16_t k[4];
    for (int i = 0; i < 4; ++i) k[i] = block.Vertex(face[i].X, face[i].Y, face[i].Z, face[i].U, face[i].V);
    block.Quad(k[0], k[1], k[2], k[3]);
  }
}

// A tapered tube along x, as hulls and barrels are modelled, two triangles
// per quad: smooth, of (segments + 1) x (rings + 1) vertices (the seam
// doubled, for texture coordinates of its own), or faceted, as flat-shaded
// hulls are saved, each quad with four corners and its texture whole.
void AddTube(TBlock& block, const std::string& material, std::array<float, 3> c, float radius, float length,
             const TPiece& piece, bool faceted) {
  const int segments = piece.Segments, rings = piece.Rings;
  block.BeginMesh(material);
  auto point = [&](int r, float angle, float u, float v) {
    const float along = static_cast<float>(r) / static_cast<float>(rings);
    const float rr = radius * (1.0f - 0.3f * along);
    return block.Vertex(c[0] + length * (along - 0.5f), c[1] + rr * std::cos(angle),
                        c[2] + rr * std::sin(angle), u, v);
  };
  if (faceted) {
    // 2 pi s / segments, where smooth tubes take 2 pi (s / segments): the two round apart.
    auto angle = [&](int s) { return 6.2831853f * static_cast<float>(s) / static_cast<float>(segments); };
    for (int r = 0; r < rings; ++r)
      for (int s = 0; s < segments; ++s) {
        const uint16_t a = point(r, angle(s), 0, 0), b = point(r, angle(s + 1), 1, 0),
                       d = point(r + 1, angle(s + 1), 1, 1), e = point(r + 1, angle(s), 0, 1);
        block.Quad(a, b, d, e);
      }
    return;
  }
  for (int r = 0; r <= rings; ++r)
    for (int s = 0; s <= segments; ++s) {
      const float around = static_cast<float>(s) / static_cast<float>(segments);
      point(r, 6.2831853f * around, around, static_cast<float>(r) / static_cast<float>(rings));
    }
  auto at = [&](int r, int s) { return static_cast<uint16_t>(r * (segments + 1) + s); };
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) block.Quad(at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s));
}

// No turn, then quarter turns about x, y and z.
std::array<float, 9> QuarterTurn(int which) {
  static const float kTurns[4][3][3] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                        {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
                                        {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
                                        {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}};
  return StoredRotation(kTurns[which % 4]);
}

// Level `level` of a part: `meshCount` meshes from `startMesh` on of the
// block `lod`, within `radius` of the part's origin.
TNodeSpec LevelNode(size_t level, const std::string& lod, uint16_t startMesh, uint16_t meshCount,
                    float radius) {
  const TVMeshRefSpec ref = {.ID = TestNameHash(lod),
                             .StartMesh = startMesh,
                             .MeshCount = meshCount,
                             .Bounds = {-radius, -radius, -radius, radius, radius, radius},
                             .U = {0.0f, 0.125f, 0.0f},
                             .Radius = radius};
  return Folder("Level" + std::to_string(level),
                {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(ref))})});
}

TNodeSpec Hardpoint(const std::string& name, TRandom& rnd, bool revolute) {
  std::vector<TNodeSpec> fields = {
      Leaf("Orientation", Floats({1, 0, 0, 0, 1, 0, 0, 0, 1})),
      Leaf("Position", Floats({rnd.Range(-2, 2), rnd.Range(-2, 2), rnd.Range(-2, 2)}))};
  if (revolute)
    fields.insert(fields.end(), {Leaf("Axis", Floats({0, 1, 0})), Leaf("Min", Floats({-0.5f})),
                                 Leaf("Max", Floats({0.5f}))});
  return Folder(name, std::move(fields));
}

// The Hardpoints folder of a part's file-name node (TModModelPlan::HardpointsPerPart).
TNodeSpec Hardpoints(int count, TRandom& rnd) {
  std::vector<TNodeSpec> fixed, revolute;
  for (int h = 0; h < count; ++h) {
    const bool turns = h % 3 == 2;
    (turns ? revolute : fixed)
        .push_back(Hardpoint(Numbered(turns ? "HpTurret" : "HpMount", h + 1, 2), rnd, turns));
  }
  std::vector<TNodeSpec> kinds = {Folder("Fixed", std::move(fixed))};
  if (!revolute.empty()) kinds.push_back(Folder("Revolute", std::move(revolute)));
  return Folder("Hardpoints", std::move(kinds));
}

// `count` of the modification's materials, `stride` apart from `first`:
// materials of many files, some with their image, some without.
std::vector<std::string> ModMaterials(size_t first, size_t stride, size_t count) {
  std::vector<std::string> names;
  for (size_t i = 0; i < count; ++i) names.push_back(Mod().Materials.at(first + i * stride).Name);
  return names;
}

// The parts of a compound model: their folders under Cmpnd, their file-name
// nodes, and the constraints that place them.
struct TParts {
  std::vector<std::string> Names;
  std::vector<TNodeSpec> Cmpnd, Files;
  std::vector<TConsSpec> Fix, Rev, Sphere;

  // The next part ("Root" first), its file-name node `file` holding `nodes`.
  void Add(std::string name, const std::string& file, std::vector<TNodeSpec> nodes) {
    if (Names.empty()) name = "Root";
    Cmpnd.push_back(PartNode(Names.empty() ? name : "Part_" + name, name, file));
    Names.push_back(std::move(name));
    Files.push_back(Folder(file, std::move(nodes)));
  }
  // A record placing part `part` at `origin` of part `root`, turned by `mtx`.
  TConsSpec Link(size_t root, size_t part, std::array<float, 3> origin, std::array<float, 9> mtx,
                 std::array<float, 3> unk1 = {}, std::array<float, 6> unk2 = {}) const {
    return {Names[root], Names[part], origin, mtx, unk1, unk2};
  }
};

// A model's root: the mesh library of `lods` (none when empty), the
// `libraries` it carries, Cmpnd led by Cons when it has parts (a Fix table,
// the others when they have records), and the parts' file-name nodes.
Bytes ModelImage(std::vector<TNodeSpec> lods, std::vector<TNodeSpec> libraries, TParts parts) {
  std::vector<TNodeSpec> root;
  if (!lods.empty()) root.push_back(Folder("VMeshLibrary", std::move(lods)));
  for (TNodeSpec& l : libraries) root.push_back(std::move(l));
  if (!parts.Cmpnd.empty()) {
    std::vector<TNodeSpec> tables = {Leaf("Fix", ConsTable(TConsLayout::Fixed, parts.Fix))};
    if (!parts.Rev.empty()) tables.push_back(Leaf("Rev", ConsTable(TConsLayout::Revolute, parts.Rev)));
    if (!parts.Sphere.empty()) tables.push_back(Leaf("Sphere", ConsTable(TConsLayout::Sphere, parts.Sphere)));
    parts.Cmpnd.insert(parts.Cmpnd.begin(), Folder("Cons", std::move(tables)));
    root.push_back(Folder("Cmpnd", std::move(parts.Cmpnd)));
  }
  for (TNodeSpec& f : parts.Files) root.push_back(std::move(f));
  return BuildUtf(root);
}

}  // namespace

TModelFiles MeshModel(int divisor) {
  constexpr int kMaxTriangles = 65535 / 3, kTrianglesPerMesh = 64, kMaterials = 48;
  const int triangles = kMaxTriangles / divisor;
  TRandom rnd(7);
  TBlock block;
  for (int done = 0; done < triangles;) {
    const int count = std::min(kTrianglesPerMesh, triangles - done);
    const int mesh = block.MeshCount();
    block.BeginMesh(mesh % kMaterials);
    const float ox = rnd.Range(-40, 40), oy = rnd.Range(-40, 40), oz = rnd.Range(-40, 40);
    for (int j = 0; j < count; ++j) {
      uint16_t k[3];
      if (mesh % 2 == 0) {
        // A strip: neighbouring triangles meet at two corners each, the same floats.
        const int corners[2][3][2] = {{{0, 0}, {1, 0}, {0, 1}}, {{1, 0}, {1, 1}, {0, 1}}};
        for (int i = 0; i < 3; ++i) {
          const int cx = j / 2 + corners[j % 2][i][0], cy = corners[j % 2][i][1];
          k[i] = block.Vertex(ox + 0.0731f * static_cast<float>(cx), oy + 0.0517f * static_cast<float>(cy),
                              oz + 0.01f * static_cast<float>(cx), 0.03125f * static_cast<float>(cx),
                              static_cast<float>(cy));
        }
      } else {
        for (uint16_t& ki : k)
          ki = block.Vertex(ox + rnd.Range(-1, 1), oy + rnd.Range(-1, 1), oz + rnd.Range(-1, 1),
                            rnd.Range(0, 1), rnd.Range(-1, 2));
      }
      block.Triangle(k[0], k[1], k[2]);
    }
    done += count;
  }
  return {ModelImage({block.Lod(kLod0)}, {}, {}), MaterialFile(kMaterials)};
}

TModelFiles CompoundModel(int divisor) {
  constexpr int kMaxParts = 512, kChainLength = 8, kMaterials = 16;
  const int count = kMaxParts / divisor;
  TRandom rnd(11);
  TBlock fine, coarse;
  TParts parts;
  for (int k = 0; k < count; ++k) {
    const std::array<float, 3> size = {rnd.Range(0.5f, 2), rnd.Range(0.5f, 2), rnd.Range(0.5f, 2)};
    const auto fineStart = fine.MeshCount();
    AddBox(fine, MaterialName(k % kMaterials), {0, 0, 0}, size);
    AddBox(fine, MaterialName((k + 5) % kMaterials), {size[0] / 2, 0, 0}, {0.25f, 0.25f, 0.25f});
    const auto coarseStart = coarse.MeshCount();
    AddBox(coarse, MaterialName(k % kMaterials), {0, 0, 0}, size);
    parts.Add(Numbered("Seg", k, 4), Numbered("seg", k, 4) + ".3db",
              {Folder("MultiLevel",
                      {LevelNode(0, kLod0, fineStart, 2, 2), LevelNode(1, kLod1, coarseStart, 1, 2)})});
    if (k == 0) continue;
    // Chains of kChainLength, the kinds of constraint in turn.
    std::vector<TConsSpec>* kinds[] = {&parts.Fix, &parts.Rev, &parts.Sphere};
    kinds[k % 3]->push_back(parts.Link(k % kChainLength == 0 ? 0 : k - 1, k,
                                       {size[0], rnd.Range(-0.5f, 0.5f), 0.25f}, QuarterTurn(k), {0, 0, 1},
                                       {-1.5f, 1.5f, 0, 0, 0, 0}));
  }
  return {ModelImage({fine.Lod(kLod0), coarse.Lod(kLod1)}, {}, std::move(parts)), MaterialFile(kMaterials)};
}

TModelFiles NodesModel(int divisor) {
  constexpr int kMaxParts = 4096, kChainLength = 4, kMaterials = 64;
  const int count = kMaxParts / divisor;
  TRandom rnd(13);
  TBlock block;
  TParts parts;
  for (int k = 0; k < count; ++k) {
    const auto mesh = block.MeshCount();
    block.BeginMesh(k % kMaterials);
    const float x = rnd.Range(-1, 1), y = rnd.Range(-1, 1), z = rnd.Range(-1, 1);
    const uint16_t a = block.Vertex(x, y, z, 0, 0), b = block.Vertex(x + 0.5f, y, z, 1, 0),
                   c = block.Vertex(x + 0.5f, y + 0.5f, z, 1, 1), d = block.Vertex(x, y + 0.5f, z, 0, 1);
    block.Quad(a, b, c, d);
    parts.Add(
        Numbered("Obj", k, 4), Numbered("obj", k, 4) + ".3db",
        {Folder("MultiLevel", {LevelNode(0, kLod0, mesh, 1, 1)}),
         Folder("Hardpoints",
                {Folder("Fixed", {Hardpoint("HpMount01", rnd, false), Hardpoint("HpMount02", rnd, false)}),
                 Folder("Revolute", {Hardpoint("HpTurret01", rnd, true)})})});
    if (k == 0) continue;
    parts.Fix.push_back(
        parts.Link(k % kChainLength == 1 ? 0 : k - 1, k, {0.5f, 0, rnd.Range(-1, 1)}, QuarterTurn(k)));
  }
  return {ModelImage({block.Lod(kLod0)}, {}, std::move(parts)), MaterialFile(kMaterials)};
}

TModelFiles ChainModel(int divisor) {
  constexpr int kMaxVertices = 65535, kMaxTriangles = 65535 / 3;
  constexpr int kMeshes = 64, kMaterials = 8, kParts = 16, kMeshesPerPart = kMeshes / kParts;
  const int vertices = kMaxVertices / divisor, triangles = kMaxTriangles / divisor;
  TRandom rnd(17);
  TBlock block;
  for (int m = 0; m < kMeshes; ++m) {
    block.BeginMesh(m % kMaterials);
    const int meshVertices = vertices * (m + 1) / kMeshes - vertices * m / kMeshes;
    for (int v = 0; v < meshVertices; ++v)
      block.Vertex(rnd.Range(-50, 50), rnd.Range(-50, 50), rnd.Range(-50, 50), rnd.Range(0, 1),
                   rnd.Range(0, 1));
    const int meshTriangles = triangles * (m + 1) / kMeshes - triangles * m / kMeshes;
    auto corner = [&] { return static_cast<uint16_t>(rnd.Next() % static_cast<uint64_t>(meshVertices)); };
    for (int t = 0; t < meshTriangles; ++t) {
      const uint16_t a = corner(), b = corner(), c = corner();
      block.Triangle(a, b, c);
    }
  }

  // Each link turns a little further about z than its parent and sits at
  // the end of it.
  const float angle = 0.3f;
  const float rows[3][3] = {
      {std::cos(angle), std::sin(angle), 0}, {-std::sin(angle), std::cos(angle), 0}, {0, 0, 1}};
  TParts parts;
  for (int k = 0; k < kParts; ++k) {
    const auto firstMesh = static_cast<uint16_t>(k * kMeshesPerPart);
    parts.Add(Numbered("Link", k, 2), Numbered("link", k, 2) + ".3db",
              {Folder("MultiLevel", {LevelNode(0, kLod0, firstMesh, kMeshesPerPart, 90)})});
    if (k == 0) continue;
    parts.Fix.push_back(parts.Link(k - 1, k, {60, 5, 0}, StoredRotation(rows)));
  }
  return {ModelImage({block.Lod(kLod0)}, {}, std::move(parts)), MaterialFile(kMaterials)};
}

Bytes ModModel(const TModModelPlan& plan) {
  TRandom rnd(plan.Seed);
  // Apart from `rnd`, so that hardpoints leave the rest of a model as it is without them.
  TRandom hardpointRnd(plan.Seed ^ 0x48504850u);
  const size_t levels = plan.Levels.size();
  std::vector<TBlock> blocks(levels);
  std::vector<std::string> lodNames;
  for (size_t l = 0; l < levels; ++l) lodNames.push_back(plan.Prefix + ".lod" + std::to_string(l) + ".vms");

  TParts parts;
  for (int k = 0; k < plan.Parts; ++k) {
    const std::string part = plan.Prefix + Numbered("_part", k, 2);
    const float length = rnd.Range(4, 12), radius = rnd.Range(1, 3);
    std::vector<TNodeSpec> levelNodes;
    for (size_t l = 0; l < levels; ++l) {
      const auto start = blocks[l].MeshCount();
      for (size_t p = 0; p < plan.Levels[l].size(); ++p) {
        const TPiece& piece = plan.Levels[l][p];
        const size_t mesh = static_cast<size_t>(k) * plan.Levels[0].size() + p;  // as numbered at level 0
        const std::string& material = plan.MeshMaterials[mesh % plan.MeshMaterials.size()];
        const float offset = static_cast<float>(p) * radius;
        if (piece.Rings == 0)
          AddBox(blocks[l], material, {0, offset, 0}, {length, radius, radius});
        else
          AddTube(blocks[l], material, {0, offset, 0}, radius, length, piece, plan.Faceted);
      }
      const auto count = static_cast<uint16_t>(blocks[l].MeshCount() - start);
      levelNodes.push_back(LevelNode(l, lodNames[l], start, count, length));
    }
    std::vector<TNodeSpec> fileNodes = {Folder("MultiLevel", std::move(levelNodes))};
    if (plan.HardpointsPerPart > 0) fileNodes.push_back(Hardpoints(plan.HardpointsPerPart, hardpointRnd));
    if (plan.Lone) {  // the part's nodes at the root, without a part table
      parts.Files = std::move(fileNodes);
      break;
    }
    parts.Add(part, part + ".3db", std::move(fileNodes));
    if (k == 0) continue;
    parts.Fix.push_back(
        parts.Link((k - 1) / 2, k, {rnd.Range(-8, 8), rnd.Range(-3, 3), rnd.Range(-3, 3)}, QuarterTurn(k)));
  }
  std::vector<TNodeSpec> lods, libraries, materials, images;
  if (!plan.WithoutMeshLibrary)
    for (size_t l = 0; l < levels; ++l) lods.push_back(blocks[l].Lod(lodNames[l]));
  for (const auto& [name, texture] : plan.Library) materials.push_back(MaterialFolder(name, texture));
  for (const TModTexture& t : plan.Images) images.push_back(TextureEntry(t));
  if (!materials.empty()) libraries.push_back(Folder("material library", std::move(materials)));
  if (!images.empty()) libraries.push_back(Folder("Texture library", std::move(images)));
  return ModelImage(std::move(lods), std::move(libraries), std::move(parts));
}

Bytes SmallModModel() {
  const std::string p = "tr_small";
  const std::vector<std::string> pool = ModMaterials(5, 97, 3);
  TModModelPlan plan;
  plan.Prefix = p;
  plan.Parts = 3;
  plan.Levels = {{{10, 4}, {0, 0}}, {{0, 0}}};
  // Its own materials, the modification's (one of them listed by the model
  // too, which the material files override), and one listed nowhere.
  plan.MeshMaterials = {p + "_base", pool[0], p + "_glow", pool[1], pool[2], p + "_unlisted"};
  plan.Library = {
      {p + "_base", p + "_base.dds"}, {p + "_glow", Mod().Textures[3].Name}, {pool[2], p + "_base.dds"}};
  plan.Images = {Texture(p + "_base.dds", 64, 64, 5), Texture(p + "_icon.tga", 16, 16, 32)};
  plan.Seed = 31;
  return ModModel(plan);
}

Bytes LargeModModel() {
  const std::string p = "ku_liner";
  const std::vector<std::string> pool = ModMaterials(40, 59, 14);
  TModModelPlan plan;
  plan.Prefix = p;
  plan.Parts = 12;
  plan.Levels = {{{18, 12}, {12, 6}, {0, 0}}, {{12, 6}, {0, 0}}, {{0, 0}}};
  // Its own materials: four with its own images, three with the
  // modification's, one with an image that is nowhere. Fourteen of the
  // modification's, four of them listed by the model too. Four nowhere.
  const std::vector<std::string> own = {p + "_hull", p + "_deck", p + "_glass", p + "_lights",
                                        p + "_trim", p + "_vent", p + "_logo",  p + "_old"};
  plan.Library = {{own[0], own[0] + ".dds"},          {own[1], own[1] + ".dds"},
                  {own[2], own[2] + ".dds"},          {own[3], own[3] + ".tga"},
                  {own[4], Mod().Textures[10].Name},  {own[5], Mod().Textures[200].Name},
                  {own[6], Mod().Textures[420].Name}, {own[7], own[7] + ".dds"}};
  for (size_t i = 0; i < 4; ++i) plan.Library.emplace_back(pool[i * 3], own[i] + (i == 3 ? ".tga" : ".dds"));
  plan.Images = {Texture(own[0] + ".dds", 256, 256, 1), Texture(own[1] + ".dds", 128, 128, 5),
                 Texture(own[2] + ".dds", 64, 64, 1), Texture(own[3] + ".tga", 64, 64, 24)};
  for (size_t i = 0; i < own.size() || i < pool.size(); ++i) {
    if (i < own.size()) plan.MeshMaterials.push_back(own[i]);
    if (i < pool.size()) plan.MeshMaterials.push_back(pool[i]);
    if (i < 4) plan.MeshMaterials.push_back(p + Numbered("_spare", i, 2));
  }
  plan.Seed = 37;
  return ModModel(plan);
}

}  // namespace bwbench
