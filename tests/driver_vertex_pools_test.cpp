// How real files find a mesh's vertices: through the StartVertex of the part
// reference that draws the mesh plus the mesh's own stored start, so that
// several meshes can draw from one shared pool; and the 24-byte records that
// hold position and normal, told apart from the other 24-byte layout by the
// block's code.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmp_builder.h"
#include "parts_builder.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

namespace {

const std::string kLod = "pool.lod0.vms";

struct TConverted {
  int Status = -1;
  std::string Console;
  std::vector<std::string> Coords;     // "x; y; z" of the model BOD file
  std::vector<std::string> Triangles;  // "a; b; c" of its polygons
  std::vector<std::string> TexCoords;  // the six texture texts of each polygon
  std::string Dbg;
};

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const size_t start = text.find(from);
  if (start == std::string::npos) return {};
  const size_t end = text.find(to, start + from.size());
  return text.substr(start + from.size(),
                     end == std::string::npos ? std::string::npos : end - start - from.size());
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    if (end > at) lines.push_back(text.substr(at, end - at));
  return lines;
}

// The n-th "; "-separated field of a line, counted from 0.
std::string Fields(const std::string& line, size_t first, size_t count) {
  size_t at = 0;
  for (size_t i = 0; i < first; ++i) at = line.find("; ", at) + 2;
  size_t end = at;
  for (size_t i = 0; i < count; ++i) end = line.find("; ", end) + (i + 1 < count ? 2 : 0);
  return line.substr(at, end - at);
}

TConverted Convert(const Bytes& model) {
  TTempDir dir;
  WriteFileBytes(dir.File("m.cmp"), model);
  TConverted out;
  out.Status = RunInProcess(dir.Path(), kAllOnIni, {dir.File("m.cmp")}, out.Console);
  if (fs::exists(dir.File("m.dbg"))) out.Dbg = ReadFileText(dir.File("m.dbg"));
  if (!fs::exists(dir.File("m_00.bod"))) return out;
  const std::string bod = ReadFileText(dir.File("m_00.bod"));
  for (const std::string& line : SplitLines(Between(bod, "Automatic Object Size\r\n", "-1;  -1;")))
    out.Coords.push_back(line.substr(0, line.find("; /")));
  for (const std::string& line :
       SplitLines(Between(bod, "marks end of coords for body\r\n", "-99; 0000000000000000;"))) {
    if (line.rfind("-99;", 0) == 0) continue;
    out.Triangles.push_back(Fields(line, 1, 3));
    const size_t tex = line.find("; -25; 1; ") + 10;
    out.TexCoords.push_back(line.substr(tex, line.find("/ (") - tex));
  }
  return out;
}

// `lead` vertices that the pool does not use, then a pool of eight vertices,
// vertex k of the block at (k, 0, 0). Three meshes of one material draw one
// triangle each from overlapping ranges of the pool, their stored starts
// counted from the pool's first vertex: 0..3, 2..5 and 4..7.
Bytes PoolBlock(uint16_t lead) {
  TBlockSpec block;
  block.VertexSize = 12;
  if (lead > 0) {
    block.Meshes.push_back({0x1, 0, static_cast<uint16_t>(lead - 1), 3});
    block.Triangles.push_back({0, 1, 2});
  }
  block.Meshes.push_back({0x2, 0, 3, 3});
  block.Triangles.push_back({0, 1, 2});
  block.Meshes.push_back({0x2, 2, 5, 3});
  block.Triangles.push_back({0, 1, 3});
  block.Meshes.push_back({0x2, 4, 7, 3});
  block.Triangles.push_back({3, 2, 0});
  for (int k = 0; k < lead + 8; ++k) {
    const Bytes v = VertexRecord(12, static_cast<float>(k), 0, 0, 0, 0);
    block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
  }
  return BuildMeshBlock(block);
}

TVMeshRefSpec Ref(const std::string& lod, uint16_t startVertex, uint16_t startMesh, uint16_t meshCount) {
  TVMeshRefSpec ref;
  ref.ID = TestNameHash(lod);
  ref.StartVertex = startVertex;
  ref.StartMesh = startMesh;
  ref.MeshCount = meshCount;
  return ref;
}

// A lone model: the block and, unless left out, the part references under
// the file's root, as a lone model stores them.
Bytes LoneModel(const Bytes& block, const std::vector<TVMeshRefSpec>& refs) {
  std::vector<TNodeSpec> levels;
  for (size_t i = 0; i < refs.size(); ++i)
    levels.push_back(Folder("Level" + std::to_string(i),
                            {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(refs[i]))})}));
  std::vector<TNodeSpec> root = {Folder("VMeshLibrary", {Folder(kLod, {Leaf("VMeshData", block)})})};
  if (!refs.empty()) root.push_back(Folder("MultiLevel", levels));
  return BuildUtf(root);
}

// The pool's triangles placed: pool vertices 0,1,2 / 2,3,5 / 7,6,4, each
// vertex at x = 1000 x (its block position), numbered as first met.
std::vector<std::string> PoolCoords(int lead) {
  std::vector<std::string> coords;
  for (const int k : {0, 1, 2, 3, 5, 7, 6, 4}) coords.push_back(std::to_string(1000 * (lead + k)) + "; 0; 0");
  return coords;
}

}  // namespace

TEST(VertexPools, LoneModelDrawsThroughTheFirstReferenceThatHoldsEachMesh) {
  // A reference of another block, one that does not hold the meshes, and a
  // short one come first; the pool's reference is the first that holds them.
  TVMeshRefSpec shortRef = Ref(kLod, 50, 0, 3);
  shortRef.HeaderSize = 56;
  const TConverted out =
      Convert(LoneModel(PoolBlock(0), {Ref("other.lod1.vms", 40, 0, 3), Ref(kLod, 30, 3, 5), shortRef,
                                       Ref(kLod, 0, 0, 3), Ref(kLod, 20, 0, 3)}));
  ASSERT_EQ(out.Status, 0) << out.Console;
  EXPECT_EQ(out.Coords, PoolCoords(0));
  // Same material: the corner that meshes 0 and 1 share is one vertex.
  EXPECT_EQ(out.Triangles, (std::vector<std::string>{"0; 1; 2", "2; 3; 4", "5; 6; 7"}));
  // The listing still shows the running sum beside the stored start.
  EXPECT_NE(out.Dbg.find(" M.StartVertex    = 4//2\r\n"), std::string::npos);

  // The same pool behind two vertices of another mesh, through a reference
  // that starts at the pool and takes meshes 1 to 3; mesh 0 keeps its
  // running sum.
  const TConverted lead = Convert(LoneModel(PoolBlock(3), {Ref(kLod, 3, 1, 3)}));
  ASSERT_EQ(lead.Status, 0) << lead.Console;
  std::vector<std::string> coords = {"0; 0; 0", "1000; 0; 0", "2000; 0; 0"};
  for (const std::string& c : PoolCoords(3)) coords.push_back(c);
  EXPECT_EQ(lead.Coords, coords);
}

TEST(VertexPools, CompoundPartsCountFromTheirReferenceStart) {
  // Part A draws mesh 0 (vertices 0..2); part B the pool behind it.
  TCompoundSpec desc;
  desc.LodName = kLod;
  desc.MeshBlock = PoolBlock(3);
  desc.Parts.push_back({"A", "", Ref(kLod, 0, 0, 1), true});
  desc.Parts.push_back({"B", "", Ref(kLod, 3, 1, 3), false});
  const TConverted out = Convert(BuildUtf(CompoundTree(desc)));
  ASSERT_EQ(out.Status, 0) << out.Console;
  std::vector<std::string> coords = {"0; 0; 0", "1000; 0; 0", "2000; 0; 0"};
  for (const std::string& c : PoolCoords(3)) coords.push_back(c);
  EXPECT_EQ(out.Coords, coords);

  // A start that leads past the block's vertices is a bad index, as before.
  desc.Parts.back().Ref.StartVertex = 5;
  const TConverted past = Convert(BuildUtf(CompoundTree(desc)));
  EXPECT_EQ(past.Status, 1);
  EXPECT_NE(past.Dbg.find("Error: bad index!  idx = 12;  min = 0;  max = 10\r\n"), std::string::npos);
}

TEST(VertexPools, WithoutReferencesTheRunningSumDrawsTheMeshes) {
  // The pool's meshes run past the block by the running sum: damage.
  const TConverted pool = Convert(LoneModel(PoolBlock(0), {}));
  EXPECT_EQ(pool.Status, 1);
  EXPECT_TRUE(
      pool.Console.ends_with(";   Meshes = 3\n  Error! Unknown structure/format tables or file damage!\n"))
      << pool.Console;

  // Meshes that follow one another are drawn right whatever they store.
  TBlockSpec block;
  block.VertexSize = 12;
  block.Meshes = {{0x1, 7, 9, 3}, {0x1, 7, 9, 3}};
  block.Triangles = {{0, 1, 2}, {2, 1, 0}};
  for (int k = 0; k < 6; ++k) {
    const Bytes v = VertexRecord(12, static_cast<float>(k), 0, 0, 0, 0);
    block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
  }
  const TConverted plain = Convert(LoneModel(BuildMeshBlock(block), {}));
  ASSERT_EQ(plain.Status, 0) << plain.Console;
  EXPECT_EQ(plain.Triangles, (std::vector<std::string>{"0; 1; 2", "3; 4; 5"}));
  EXPECT_EQ(plain.Coords.back(), "3000; 0; 0");
}

TEST(VertexRecords, PositionNormalBlocksAreToldApartByTheirCode) {
  // The same 24 bytes per vertex under two codes: position and normal
  // (0x012), or position, colour and texture coordinate (0x142).
  auto model = [](uint16_t signature) {
    TBlockSpec block;
    block.Signature = signature;
    block.VertexSize = 24;
    block.Meshes = {{0x1, 0, 2, 3}};
    block.Triangles = {{0, 1, 2}};
    for (int k = 0; k < 3; ++k)
      for (const float f : {float(k), 1.0f, 2.0f, 0.0f, 0.25f, 0.75f}) PutF32(block.Vertices, f);
    return LoneModel(BuildMeshBlock(block), {});
  };
  const TConverted normals = Convert(model(0x012));
  const TConverted colours = Convert(model(0x142));
  ASSERT_EQ(normals.Status, 0) << normals.Console;
  ASSERT_EQ(colours.Status, 0) << colours.Console;
  EXPECT_EQ(normals.Coords, colours.Coords);
  const std::string head = std::string(bw::kBanner) + "\n  0: " + kLod + "\n";
  EXPECT_TRUE(normals.Console.starts_with(head + "  Unknown signature [00000012] in header!\n  Data Size = "))
      << normals.Console;
  EXPECT_TRUE(colours.Console.starts_with(head + "  Unknown signature [00000142] in header!\n  Data Size = "))
      << colours.Console;
  // No texture coordinate in the normals' records: U 0, V 1 at every corner.
  EXPECT_EQ(normals.TexCoords[0], "0.000000;1.000000; 0.000000;1.000000; 0.000000;1.000000; ");
  EXPECT_EQ(colours.TexCoords[0], "0.250000;0.750000; 0.250000;0.750000; 0.250000;0.750000; ");
  EXPECT_NE(normals.Dbg.find("REC8:    1;   1.000; 1.000; 2.000; 0.000; 0.250; 0.750; \r\n"),
            std::string::npos);
  EXPECT_NE(colours.Dbg.find("REC3:    1;   1.000; 1.000; 2.000; 00000000; 0.250; 0.750; \r\n"),
            std::string::npos);
}
