#include "bench_models.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "bench_mod.h"
#include "bench_random.h"
#include "parts_builder.h"

namespace bwbench {
namespace {

using namespace bwtest;

std::string Numbered(const char* prefix, int n, int width) {
  std::string digits = std::to_string(n);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return prefix + digits;
}

std::string MaterialName(int i) {
  return Numbered("Mat_", i, 3);
}

Bytes MaterialFile(int materialCount) {
  std::vector<TNodeSpec> materials;
  for (int i = 0; i < materialCount; ++i) {
    Bytes flags;
    PutU32(flags, 64);
    materials.push_back(Folder(MaterialName(i), {TextLeaf("Dt_name", "textures\\" + MaterialName(i) + ".tga"),
                                                 Leaf("Dt_flags", flags)}));
  }
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
    const auto relative = static_cast<uint16_t>(FVertexCount - mesh.StartVertex);
    mesh.EndVertex = FVertexCount++;
    return relative;
  }
  void Triangle(uint16_t a, uint16_t b, uint16_t c) {
    FBlock.Triangles.push_back({a, b, c});
    FBlock.Meshes.back().VertexRefCount = static_cast<uint16_t>(FBlock.Meshes.back().VertexRefCount + 3);
  }
  uint16_t MeshCount() const { return static_cast<uint16_t>(FBlock.Meshes.size()); }
  Bytes Build() const { return BuildMeshBlock(FBlock); }

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
    block.Triangle(k[0], k[1], k[2]);
    block.Triangle(k[0], k[2], k[3]);
  }
}

// Quarter turns about x, y and z, and no turn.
std::array<float, 9> QuarterTurn(int which) {
  static const float kNone[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  static const float kAboutX[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
  static const float kAboutY[3][3] = {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}};
  static const float kAboutZ[3][3] = {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}};
  switch (which % 4) {
    case 1: return StoredRotation(kAboutX);
    case 2: return StoredRotation(kAboutY);
    case 3: return StoredRotation(kAboutZ);
    default: return StoredRotation(kNone);
  }
}

TVMeshRefSpec RefTo(const std::string& lodName, uint16_t startMesh, uint16_t meshCount, float radius) {
  TVMeshRefSpec r;
  r.ID = TestNameHash(lodName);
  r.StartMesh = startMesh;
  r.MeshCount = meshCount;
  r.Bounds = {-radius, -radius, -radius, radius, radius, radius};
  r.U = {0.0f, 0.125f, 0.0f};
  r.Radius = radius;
  return r;
}

TNodeSpec LevelNode(const std::string& name, const TVMeshRefSpec& ref) {
  return Folder(name, {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(ref))})});
}

Bytes Floats(std::initializer_list<float> values) {
  Bytes b;
  for (float f : values) PutF32(b, f);
  return b;
}

TNodeSpec Hardpoint(const std::string& name, TRandom& rnd, bool revolute) {
  std::vector<TNodeSpec> fields = {
      Leaf("Orientation", Floats({1, 0, 0, 0, 1, 0, 0, 0, 1})),
      Leaf("Position", Floats({rnd.Range(-2, 2), rnd.Range(-2, 2), rnd.Range(-2, 2)})),
  };
  if (revolute) {
    fields.push_back(Leaf("Axis", Floats({0, 1, 0})));
    fields.push_back(Leaf("Min", Floats({-0.5f})));
    fields.push_back(Leaf("Max", Floats({0.5f})));
  }
  return Folder(name, std::move(fields));
}

}  // namespace

TModelFiles MeshModel(int divisor) {
  constexpr int kMaxTriangles = 65535 / 3;
  constexpr int kTrianglesPerMesh = 64;
  constexpr int kMaterials = 48;
  const int triangles = kMaxTriangles / divisor;

  TRandom rnd(7);
  TBlock block;
  for (int done = 0; done < triangles;) {
    const int count = std::min(kTrianglesPerMesh, triangles - done);
    const int mesh = block.MeshCount();
    block.BeginMesh(mesh % kMaterials);
    const float ox = rnd.Range(-40, 40), oy = rnd.Range(-40, 40), oz = rnd.Range(-40, 40);
    const bool strip = mesh % 2 == 0;
    for (int j = 0; j < count; ++j) {
      uint16_t k[3];
      if (strip) {
        // Neighbouring triangles meet at two corners each: the same floats.
        const int col = j / 2;
        const int corners[2][3][2] = {{{0, 0}, {1, 0}, {0, 1}}, {{1, 0}, {1, 1}, {0, 1}}};
        for (int i = 0; i < 3; ++i) {
          const int cx = col + corners[j % 2][i][0], cy = corners[j % 2][i][1];
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

  TModelFiles files;
  files.Model =
      BuildUtf({Folder("VMeshLibrary", {Folder("Bench.LOD0.vms", {Leaf("VMeshData", block.Build())})})});
  files.Materials = MaterialFile(kMaterials);
  return files;
}

TModelFiles CompoundModel(int divisor) {
  constexpr int kMaxParts = 512;
  constexpr int kChainLength = 8;
  constexpr int kMaterials = 16;
  const int parts = kMaxParts / divisor;
  const std::string lod0 = "Bench.LOD0.vms", lod1 = "Bench.LOD1.vms";

  TRandom rnd(11);
  TBlock fine, coarse;
  std::vector<TNodeSpec> cmpnd;
  std::vector<TNodeSpec> files;
  std::vector<TConsSpec> tables[3];
  for (int k = 0; k < parts; ++k) {
    const std::string name = k == 0 ? "Root" : Numbered("Seg", k, 4);
    const std::string file = Numbered("seg", k, 4) + ".3db";
    const std::array<float, 3> size = {rnd.Range(0.5f, 2), rnd.Range(0.5f, 2), rnd.Range(0.5f, 2)};

    const auto fineStart = fine.MeshCount();
    AddBox(fine, MaterialName(k % kMaterials), {0, 0, 0}, size);
    AddBox(fine, MaterialName((k + 5) % kMaterials), {size[0] / 2, 0, 0}, {0.25f, 0.25f, 0.25f});
    const auto coarseStart = coarse.MeshCount();
    AddBox(coarse, MaterialName(k % kMaterials), {0, 0, 0}, size);

    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + name, name, file));
    files.push_back(
        Folder(file, {Folder("MultiLevel", {LevelNode("Level0", RefTo(lod0, fineStart, 2, 2)),
                                            LevelNode("Level1", RefTo(lod1, coarseStart, 1, 2))})}));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = k % kChainLength == 0 ? "Root" : (k == 1 ? "Root" : Numbered("Seg", k - 1, 4));
    cons.PartName = name;
    cons.Origin = {size[0], rnd.Range(-0.5f, 0.5f), 0.25f};
    cons.Mtx = QuarterTurn(k);
    cons.Unk1 = {0, 0, 1};
    cons.Unk2 = {-1.5f, 1.5f, 0, 0, 0, 0};
    tables[k % 3].push_back(cons);
  }
  cmpnd.insert(cmpnd.begin(), Folder("Cons", {Leaf("Fix", ConsTable(TConsLayout::Fixed, tables[0])),
                                              Leaf("Rev", ConsTable(TConsLayout::Revolute, tables[1])),
                                              Leaf("Sphere", ConsTable(TConsLayout::Sphere, tables[2]))}));

  std::vector<TNodeSpec> root;
  root.push_back(Folder("VMeshLibrary", {Folder(lod0, {Leaf("VMeshData", fine.Build())}),
                                         Folder(lod1, {Leaf("VMeshData", coarse.Build())})}));
  root.push_back(Folder("Cmpnd", std::move(cmpnd)));
  for (TNodeSpec& f : files) root.push_back(std::move(f));

  TModelFiles out;
  out.Model = BuildUtf(root);
  out.Materials = MaterialFile(kMaterials);
  return out;
}

// A compound model of one block: its parts' folders under Cmpnd, led by one
// table of Fix constraints, and the parts' file-name nodes under the root.
TModelFiles CompoundFiles(const std::string& lod, const TBlock& block, std::vector<TNodeSpec> cmpnd,
                          const std::vector<TConsSpec>& fixed, std::vector<TNodeSpec> files, int materials) {
  cmpnd.insert(cmpnd.begin(), Folder("Cons", {Leaf("Fix", ConsTable(TConsLayout::Fixed, fixed))}));
  std::vector<TNodeSpec> root;
  root.push_back(Folder("VMeshLibrary", {Folder(lod, {Leaf("VMeshData", block.Build())})}));
  root.push_back(Folder("Cmpnd", std::move(cmpnd)));
  for (TNodeSpec& f : files) root.push_back(std::move(f));
  TModelFiles out;
  out.Model = BuildUtf(root);
  out.Materials = MaterialFile(materials);
  return out;
}

TModelFiles NodesModel(int divisor) {
  constexpr int kMaxParts = 4096;
  constexpr int kChainLength = 4;
  constexpr int kMaterials = 64;
  const int parts = kMaxParts / divisor;
  const std::string lod = "Bench.LOD0.vms";

  TRandom rnd(13);
  TBlock block;
  std::vector<TNodeSpec> cmpnd;
  std::vector<TNodeSpec> files;
  std::vector<TConsSpec> fixed;
  for (int k = 0; k < parts; ++k) {
    const std::string name = k == 0 ? "Root" : Numbered("Obj", k, 4);
    const std::string file = Numbered("obj", k, 4) + ".3db";

    const auto mesh = block.MeshCount();
    block.BeginMesh(k % kMaterials);
    const float x = rnd.Range(-1, 1), y = rnd.Range(-1, 1), z = rnd.Range(-1, 1);
    const uint16_t a = block.Vertex(x, y, z, 0, 0);
    const uint16_t b = block.Vertex(x + 0.5f, y, z, 1, 0);
    const uint16_t c = block.Vertex(x + 0.5f, y + 0.5f, z, 1, 1);
    const uint16_t d = block.Vertex(x, y + 0.5f, z, 0, 1);
    block.Triangle(a, b, c);
    block.Triangle(a, c, d);

    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + name, name, file));
    files.push_back(
        Folder(file, {Folder("MultiLevel", {LevelNode("Level0", RefTo(lod, mesh, 1, 1))}),
                      Folder("Hardpoints", {Folder("Fixed", {Hardpoint("HpMount01", rnd, false),
                                                             Hardpoint("HpMount02", rnd, false)}),
                                            Folder("Revolute", {Hardpoint("HpTurret01", rnd, true)})})}));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = k % kChainLength == 1 ? "Root" : Numbered("Obj", k - 1, 4);
    cons.PartName = name;
    cons.Origin = {0.5f, 0, rnd.Range(-1, 1)};
    cons.Mtx = QuarterTurn(k);
    fixed.push_back(cons);
  }
  return CompoundFiles(lod, block, std::move(cmpnd), fixed, std::move(files), kMaterials);
}

TModelFiles ChainModel(int divisor) {
  constexpr int kMaxVertices = 65535;
  constexpr int kMaxTriangles = 65535 / 3;
  constexpr int kMeshes = 64;
  constexpr int kMaterials = 8;
  constexpr int kParts = 16;
  constexpr int kMeshesPerPart = kMeshes / kParts;
  const int vertices = kMaxVertices / divisor;
  const int triangles = kMaxTriangles / divisor;
  const std::string lod = "Bench.LOD0.vms";

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
  std::vector<TNodeSpec> cmpnd;
  std::vector<TNodeSpec> files;
  std::vector<TConsSpec> fixed;
  for (int k = 0; k < kParts; ++k) {
    const std::string name = k == 0 ? "Root" : Numbered("Link", k, 2);
    const std::string file = Numbered("link", k, 2) + ".3db";
    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + name, name, file));
    const auto firstMesh = static_cast<uint16_t>(k * kMeshesPerPart);
    files.push_back(Folder(
        file, {Folder("MultiLevel", {LevelNode("Level0", RefTo(lod, firstMesh, kMeshesPerPart, 90))})}));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = k == 1 ? "Root" : Numbered("Link", k - 1, 2);
    cons.PartName = name;
    cons.Origin = {60, 5, 0};
    cons.Mtx = StoredRotation(rows);
    fixed.push_back(cons);
  }
  return CompoundFiles(lod, block, std::move(cmpnd), fixed, std::move(files), kMaterials);
}

namespace {

// A tapered tube along x, as hulls and barrels are modelled: (segments + 1)
// x (rings + 1) vertices (the seam doubled, so that it has texture
// coordinates of its own), two triangles per quad.
void AddTube(TBlock& block, const std::string& material, std::array<float, 3> c, float radius, float length,
             int segments, int rings) {
  block.BeginMesh(material);
  for (int r = 0; r <= rings; ++r) {
    const float along = static_cast<float>(r) / static_cast<float>(rings);
    const float rr = radius * (1.0f - 0.3f * along);
    for (int s = 0; s <= segments; ++s) {
      const float around = static_cast<float>(s) / static_cast<float>(segments);
      const float a = 6.2831853f * around;
      block.Vertex(c[0] + length * (along - 0.5f), c[1] + rr * std::cos(a), c[2] + rr * std::sin(a), around,
                   along);
    }
  }
  const int row = segments + 1;
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const auto a = static_cast<uint16_t>(r * row + s);
      const auto b = static_cast<uint16_t>(a + 1), d = static_cast<uint16_t>(a + row + 1),
                 e = static_cast<uint16_t>(a + row);
      block.Triangle(a, b, d);
      block.Triangle(a, d, e);
    }
}

// The same tube with four corners of its own per quad, each quad's texture
// showing whole.
void AddFacetedTube(TBlock& block, const std::string& material, std::array<float, 3> c, float radius,
                    float length, int segments, int rings) {
  block.BeginMesh(material);
  auto point = [&](int r, int s, float u, float v) {
    const float along = static_cast<float>(r) / static_cast<float>(rings);
    const float rr = radius * (1.0f - 0.3f * along);
    const float a = 6.2831853f * static_cast<float>(s) / static_cast<float>(segments);
    return block.Vertex(c[0] + length * (along - 0.5f), c[1] + rr * std::cos(a), c[2] + rr * std::sin(a), u,
                        v);
  };
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s) {
      const uint16_t a = point(r, s, 0, 0), b = point(r, s + 1, 1, 0), d = point(r + 1, s + 1, 1, 1),
                     e = point(r + 1, s, 0, 1);
      block.Triangle(a, b, d);
      block.Triangle(a, d, e);
    }
}

}  // namespace

Bytes ModModel(const TModModelPlan& plan) {
  TRandom rnd(plan.Seed);
  // Apart from `rnd`, so that hardpoints leave the rest of a model as it
  // is without them.
  TRandom hardpointRnd(plan.Seed ^ 0x48504850u);
  const size_t levels = plan.Levels.size();
  std::vector<TBlock> blocks(levels);
  std::vector<std::string> lodNames;
  for (size_t l = 0; l < levels; ++l) lodNames.push_back(plan.Prefix + ".lod" + std::to_string(l) + ".vms");
  const size_t piecesPerPart = plan.Levels[0].size();

  std::vector<TNodeSpec> cmpnd, files;
  std::vector<std::string> names;
  std::vector<TConsSpec> fixed;
  for (int k = 0; k < plan.Parts; ++k) {
    names.push_back(k == 0 ? "Root" : plan.Prefix + Numbered("_part", k, 2));
    const std::string file = plan.Prefix + Numbered("_part", k, 2) + ".3db";
    const float length = rnd.Range(4, 12), radius = rnd.Range(1, 3);
    std::vector<TNodeSpec> levelNodes;
    for (size_t l = 0; l < levels; ++l) {
      TBlock& block = blocks[l];
      const auto start = block.MeshCount();
      for (size_t p = 0; p < plan.Levels[l].size(); ++p) {
        const TPiece& piece = plan.Levels[l][p];
        const std::string& material =
            plan.MeshMaterials[(static_cast<size_t>(k) * piecesPerPart + p) % plan.MeshMaterials.size()];
        const float offset = static_cast<float>(p) * radius;
        if (piece.Rings == 0)
          AddBox(block, material, {0, offset, 0}, {length, radius, radius});
        else if (plan.Faceted)
          AddFacetedTube(block, material, {0, offset, 0}, radius, length, piece.Segments, piece.Rings);
        else
          AddTube(block, material, {0, offset, 0}, radius, length, piece.Segments, piece.Rings);
      }
      const auto count = static_cast<uint16_t>(block.MeshCount() - start);
      levelNodes.push_back(LevelNode("Level" + std::to_string(l), RefTo(lodNames[l], start, count, length)));
    }
    std::vector<TNodeSpec> fileNodes = {Folder("MultiLevel", std::move(levelNodes))};
    if (plan.HardpointsPerPart > 0) {
      std::vector<TNodeSpec> fixedPoints, revolute;
      for (int h = 0; h < plan.HardpointsPerPart; ++h) {
        const bool turns = h % 3 == 2;
        (turns ? revolute : fixedPoints)
            .push_back(Hardpoint(Numbered(turns ? "HpTurret" : "HpMount", h + 1, 2), hardpointRnd, turns));
      }
      std::vector<TNodeSpec> kinds = {Folder("Fixed", std::move(fixedPoints))};
      if (!revolute.empty()) kinds.push_back(Folder("Revolute", std::move(revolute)));
      fileNodes.push_back(Folder("Hardpoints", std::move(kinds)));
    }
    if (plan.Lone) {
      files = std::move(fileNodes);
      break;
    }
    cmpnd.push_back(PartNode(k == 0 ? "Root" : "Part_" + names.back(), names.back(), file));
    files.push_back(Folder(file, std::move(fileNodes)));
    if (k == 0) continue;
    TConsSpec cons;
    cons.RootName = names[static_cast<size_t>(k - 1) / 2];
    cons.PartName = names.back();
    cons.Origin = {rnd.Range(-8, 8), rnd.Range(-3, 3), rnd.Range(-3, 3)};
    cons.Mtx = QuarterTurn(k);
    fixed.push_back(cons);
  }
  if (!plan.Lone)
    cmpnd.insert(cmpnd.begin(), Folder("Cons", {Leaf("Fix", ConsTable(TConsLayout::Fixed, fixed))}));

  std::vector<TNodeSpec> lods, materials, images;
  for (size_t l = 0; l < levels; ++l)
    lods.push_back(Folder(lodNames[l], {Leaf("VMeshData", blocks[l].Build())}));
  for (const auto& [name, texture] : plan.Library) materials.push_back(MaterialFolder(name, texture));
  for (const TModTexture& t : plan.Images) images.push_back(TextureEntry(t));
  std::vector<TNodeSpec> root;
  if (!plan.WithoutMeshLibrary) root.push_back(Folder("VMeshLibrary", std::move(lods)));
  if (!materials.empty()) root.push_back(Folder("material library", std::move(materials)));
  if (!images.empty()) root.push_back(Folder("Texture library", std::move(images)));
  if (!plan.Lone) root.push_back(Folder("Cmpnd", std::move(cmpnd)));
  for (TNodeSpec& f : files) root.push_back(std::move(f));
  return BuildUtf(root);
}

namespace {

// `count` of the modification's materials, `stride` apart from `first`:
// materials of many files, some with their image, some without.
std::vector<std::string> ModMaterials(size_t first, size_t stride, size_t count) {
  std::vector<std::string> names;
  for (size_t i = 0; i < count; ++i) names.push_back(Mod().Materials.at(first + i * stride).Name);
  return names;
}

const std::string& ModImage(size_t i) {
  return Mod().Textures.at(i).Name;
}

}  // namespace

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
  plan.Library = {{p + "_base", p + "_base.dds"}, {p + "_glow", ModImage(3)}, {pool[2], p + "_base.dds"}};
  plan.Images = {DdsTexture(p + "_base.dds", 64, 64, 5), TgaTexture(p + "_icon.tga", 16, 16, 32)};
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
  plan.Library = {{own[0], own[0] + ".dds"}, {own[1], own[1] + ".dds"}, {own[2], own[2] + ".dds"},
                  {own[3], own[3] + ".tga"}, {own[4], ModImage(10)},    {own[5], ModImage(200)},
                  {own[6], ModImage(420)},   {own[7], own[7] + ".dds"}};
  for (size_t i = 0; i < 4; ++i) plan.Library.emplace_back(pool[i * 3], own[i] + (i == 3 ? ".tga" : ".dds"));
  plan.Images = {DdsTexture(own[0] + ".dds", 256, 256, 1), DdsTexture(own[1] + ".dds", 128, 128, 5),
                 DdsTexture(own[2] + ".dds", 64, 64, 1), TgaTexture(own[3] + ".tga", 64, 64, 24)};
  for (size_t i = 0; i < own.size() || i < pool.size(); ++i) {
    if (i < own.size()) plan.MeshMaterials.push_back(own[i]);
    if (i < pool.size()) plan.MeshMaterials.push_back(pool[i]);
    if (i < 4) plan.MeshMaterials.push_back(p + Numbered("_spare", static_cast<int>(i), 2));
  }
  plan.Seed = 37;
  return ModModel(plan);
}

}  // namespace bwbench
