#include "mesh/mesh_decoder.h"

#include <gtest/gtest.h>

#include "cmp/utf_tree.h"
#include "cmp_builder.h"
#include "support/buf_stream.h"
#include "test_support.h"

namespace {

using namespace bw;
using namespace bwtest;

// One CMP image and what decoding it makes, its console captured and, with
// debug on, its diagnostics going to a scratch file.
struct TDecodeRun {
  TDbgRun T;
  std::string Console;
  TMeshGroups Groups;
  TMeshData Block;

  explicit TDecodeRun(const Bytes& image, bool debug = false) : T(debug) {
    T.Ctx.Console.Capture = &Console;
    T.Load(image);
  }
  void Decode(const std::string& lodName) { DecodeMeshData(T.Nodes, lodName, Groups, Block, T.Ctx); }
  std::string Dbg() { return T.DbgText(); }
};

Bytes Image(const Bytes& block) {
  return BuildUtf({Folder("Lod0", {Leaf("VMeshData", block)})});
}

Bytes Vertices(uint32_t size, int count) {
  Bytes out;
  for (int k = 0; k < count; ++k) {
    const Bytes rec = VertexRecord(size, 1.0f + k, 2.0f + k, 3.0f + k, 0.25f + k, 0.5f + k);
    out.insert(out.end(), rec.begin(), rec.end());
  }
  return out;
}

TBlockSpec OneMesh(uint32_t vertexSize, int vertexCount = 3) {
  TBlockSpec desc;
  desc.Meshes = {{0x1234, 0, static_cast<uint16_t>(vertexCount - 1), 3}};
  desc.Triangles = {{0, 1, 2}};
  desc.VertexSize = vertexSize;
  desc.Vertices = Vertices(vertexSize, vertexCount);
  return desc;
}

std::string Summary(uint32_t dataSize, int meshes) {
  std::string size = std::to_string(dataSize);
  return "  Data Size = " + std::string(size.size() < 6 ? 6 - size.size() : 0, ' ') + size +
         ";   Meshes = " + std::to_string(meshes) + "\n";
}

TEST(MeshDecoder, EachLayoutGivesPositionAndItsOwnTextureFields) {
  for (const uint32_t size : {32u, 40u, 24u, 36u, 44u, 20u, 12u}) {
    SCOPED_TRACE(size);
    const Bytes block = BuildMeshBlock(OneMesh(size));
    TDecodeRun r(Image(block));
    r.Decode("lod0");
    // The signature says REC1 whatever the size: no message.
    EXPECT_EQ(r.Console, Summary(static_cast<uint32_t>(block.size()), 1));
    ASSERT_EQ(r.Block.VertList.Count(), 3);
    for (int32_t k = 0; k < 3; ++k) {
      const TVertRec& v = r.Block.VertList[k];
      EXPECT_EQ(v.X, 1.0f + k);
      EXPECT_EQ(v.Y, 2.0f + k);
      EXPECT_EQ(v.Z, 3.0f + k);
      EXPECT_EQ(v.U, size == 12 ? 0.0f : 0.25f + k);
      EXPECT_EQ(v.V, size == 12 ? 1.0f : 0.5f + k);
      EXPECT_EQ(v.Key, 0);
    }
    ASSERT_EQ(r.Block.TriList.Count(), 1);
    EXPECT_EQ(r.Block.TriList[0].C, 2);
    ASSERT_EQ(r.Block.MeshList.Count(), 1);
    EXPECT_EQ(r.Block.MeshList[0].Material, 0x1234u);
  }
}

TEST(MeshDecoder, MeshRangesAccumulateWhateverTheStoredStarts) {
  TBlockSpec desc;
  desc.Meshes = {{1, 100, 123, 36}, {2, 7, 16, 12}, {3, 0, 0, 2}, {4, 5, 4, 3}};
  desc.Triangles.resize(12 + 4 + 1);
  desc.VertexSize = 20;
  desc.Vertices = Vertices(20, 35);
  TDecodeRun r(Image(BuildMeshBlock(desc)));
  r.Decode("LOD0");
  ASSERT_EQ(r.Block.MeshList.Count(), 4);
  auto range = [&](int32_t i) {
    const TMeshRec& m = r.Block.MeshList[i];
    return std::vector<int>{m.StartVertex, m.EndVertex, m.StartTriangle, m.EndTriangle, m.VertexRefCount};
  };
  EXPECT_EQ(range(0), (std::vector<int>{0, 23, 0, 11, 36}));
  EXPECT_EQ(range(1), (std::vector<int>{24, 33, 12, 15, 12}));
  // Fewer than three references: an empty triangle range.
  EXPECT_EQ(range(2), (std::vector<int>{34, 34, 16, 15, 2}));
  // EndVertex one below StartVertex: an empty vertex range.
  EXPECT_EQ(range(3), (std::vector<int>{35, 34, 16, 16, 3}));
  EXPECT_EQ(r.Block.TriList.Count(), 17);
  EXPECT_EQ(r.Block.VertList.Count(), 35);
}

TEST(MeshDecoder, LayoutIsChosenBySizeOfWhatFollowsTheTriangles) {
  // References not a multiple of three: the last one is taken as vertex data.
  TBlockSpec seven = OneMesh(32, 2);
  seven.Triangles = {{0, 1, 1}, {1, 0, 0}};
  seven.VertexRefCount = 7;
  TDecodeRun r7(Image(BuildMeshBlock(seven)));
  r7.Decode("lod0");
  EXPECT_EQ(r7.Block.TriList.Count(), 2);
  EXPECT_EQ(r7.Block.VertList[1].X, 2.0f);

  // Trailing bytes fewer than the vertex count are ignored.
  TBlockSpec trailing = OneMesh(32);
  trailing.VertexCount = 3;
  trailing.Vertices.insert(trailing.Vertices.end(), {9, 9});
  TDecodeRun rt(Image(BuildMeshBlock(trailing)));
  rt.Decode("lod0");
  EXPECT_EQ(rt.Block.VertList[2].U, 2.25f);

  // A size of no known layout.
  TBlockSpec odd = OneMesh(32);
  odd.VertexCount = 3;
  odd.Vertices.insert(odd.Vertices.end(), {9, 9, 9});
  TDecodeRun ro(Image(BuildMeshBlock(odd)), true);
  EXPECT_THROW(ro.Decode("lod0"), EIdxError);
  EXPECT_EQ(ro.Console, "  Error: unknown structure/format tables!\n");
  const std::string dbg = ro.Dbg();
  EXPECT_EQ(dbg.substr(dbg.size() - 43), "  Error: unknown structure/format tables!\r\n");
  EXPECT_EQ(ro.Groups.Count(), 0);
}

TEST(MeshDecoder, OtherKindsAreSkippedQuietly) {
  TBlockSpec desc = OneMesh(32);
  desc.Kind = 2;
  const Bytes block = BuildMeshBlock(desc);
  TDecodeRun r(Image(block), true);
  AddVert(r.Block.VertList, 1, 1, 1, 1, 1);  // left from an earlier block
  r.Decode("lod0");
  EXPECT_EQ(r.Console, Summary(static_cast<uint32_t>(block.size()), 0));
  EXPECT_EQ(r.Block.VertList.Count(), 0);
  EXPECT_EQ(r.Groups.Count(), 0);
  EXPECT_EQ(r.Dbg(), "");
}

TEST(MeshDecoder, DamagedBlocksAreRejectedWithoutSummary) {
  auto rejected = [](const Bytes& block, const char* what) {
    SCOPED_TRACE(what);
    TDecodeRun r(Image(block));
    EXPECT_THROW(r.Decode("lod0"), ERangeError);
    EXPECT_EQ(r.Console, "");
    EXPECT_EQ(r.Groups.Count(), 0);
  };
  const Bytes good = BuildMeshBlock(OneMesh(32));
  rejected(Bytes(good.begin(), good.begin() + 15), "shorter than the header");

  TBlockSpec noMesh = OneMesh(32);
  noMesh.Meshes.clear();
  rejected(BuildMeshBlock(noMesh), "no mesh");
  TBlockSpec twoRefs = OneMesh(32);
  twoRefs.Triangles.clear();
  twoRefs.VertexRefCount = 2;
  twoRefs.Meshes[0].VertexRefCount = 3;
  rejected(BuildMeshBlock(twoRefs), "fewer than three references");
  TBlockSpec noVertex = OneMesh(32);
  noVertex.VertexCount = 0;
  rejected(BuildMeshBlock(noVertex), "no vertex");
  TBlockSpec tooManyMeshes = OneMesh(32);
  tooManyMeshes.MeshCount = 20;
  rejected(BuildMeshBlock(tooManyMeshes), "tables larger than the block");
  TBlockSpec firstEmpty = OneMesh(32);
  firstEmpty.Meshes[0].VertexRefCount = 2;
  rejected(BuildMeshBlock(firstEmpty), "first mesh without triangles");
  TBlockSpec firstNoVertex = OneMesh(32);
  firstNoVertex.Meshes[0] = {0, 5, 4, 3};
  rejected(BuildMeshBlock(firstNoVertex), "first mesh without vertices");
  TBlockSpec overflow = OneMesh(32);
  overflow.Meshes = {{0, 0, 65535, 3}, {0, 0, 0, 3}};
  overflow.Triangles = {{0, 1, 2}, {0, 1, 2}};
  rejected(BuildMeshBlock(overflow), "vertex range past 65535");

  // The size claimed beyond the bytes stored: the reads that need them fail.
  TNodeSpec shortLeaf = Leaf("VMeshData", good);
  shortLeaf.UsedSizeOverride = static_cast<int64_t>(good.size()) - 1;
  TDecodeRun r(BuildUtf({Folder("Lod0", {shortLeaf})}));
  EXPECT_THROW(r.Decode("lod0"), ERangeError);
  EXPECT_EQ(r.Block.VertList.Count(), 2);
}

TEST(MeshDecoder, DefaultPartOnlyWithoutPartTable) {
  TBlockSpec desc = OneMesh(32, 4);
  desc.Meshes = {{1, 0, 1, 3}, {2, 0, 1, 3}};
  desc.Triangles = {{0, 1, 1}, {0, 1, 1}};
  TDecodeRun r(Image(BuildMeshBlock(desc)));
  r.Decode("lod0");
  ASSERT_EQ(r.Groups.Count(), 1);
  const TMeshGroup& g = r.Groups[0];
  EXPECT_EQ(g.RootName + "/" + g.PartName, "Root/Root");
  EXPECT_EQ(
      (std::vector<int32_t>{g.BegMesh, g.MeshCnt, g.StartVertex, g.EndVertex, g.StartIndex, g.EndIndex}),
      (std::vector<int32_t>{0, 2, 0, 3, 0, 1}));

  TDecodeRun withParts(Image(BuildMeshBlock(desc)));
  AddMeshGroup(withParts.Groups, "Root", "Hull", 0, 2, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  withParts.Decode("lod0");
  ASSERT_EQ(withParts.Groups.Count(), 1);
  EXPECT_EQ(withParts.Groups[0].PartName, "Hull");
}

TEST(MeshDecoder, BlockIsFoundByItsParentsName) {
  TBlockSpec first = OneMesh(32);
  TBlockSpec second = OneMesh(12);
  const Bytes img = BuildUtf({Folder("LodA", {Leaf("vmeshdata", BuildMeshBlock(first))}),
                              Folder("loda", {Leaf("VMESHDATA", BuildMeshBlock(second))}),
                              Folder("LodB", {Leaf("other", BuildMeshBlock(second))})});
  TDecodeRun r(img);
  r.Decode("loda");
  EXPECT_EQ(r.Block.VertList[0].U, 0.25f);  // the first block, not the REC7 one
  r.Console.clear();
  r.Decode("lodb");
  EXPECT_EQ(r.Console, "");
  EXPECT_EQ(r.Block.VertList.Count(), 0);
  EXPECT_EQ(r.Block.MeshList.Count(), 0);
}

TEST(MeshDecoder, DiagnosticsDumpTheWholeBlock) {
  TBlockSpec desc;
  desc.Signature = 0x142;
  desc.Meshes = {{0xAB, 5, 7, 3}};
  desc.Triangles = {{0, 1, 2}};
  desc.VertexSize = 36;
  desc.Vertices = VertexRecord(36, 1.5f, -2.25f, 123456.789f, 0.25f, 0.75f);
  const Bytes rec2 = VertexRecord(36, 0.0004f, 0, 0, 1, 0);
  desc.Vertices.insert(desc.Vertices.end(), rec2.begin(), rec2.end());
  const Bytes rec3 = VertexRecord(36, 1, 2, 3, 4, 5);
  desc.Vertices.insert(desc.Vertices.end(), rec3.begin(), rec3.end());
  const Bytes block = BuildMeshBlock(desc);
  TDecodeRun r(Image(block), true);
  r.Decode("lod0");
  // An unknown signature is reported and decoding goes on by size.
  EXPECT_EQ(r.Console,
            "  Unknown signature [00000142] in header!\n" + Summary(static_cast<uint32_t>(block.size()), 1));
  EXPECT_EQ(r.Dbg(),
            "\r\n"
            "H.MeshCount      = 1\r\n"
            "H.VertexRefCount = 3\r\n"
            "H.VertexCount    = 3\r\n"
            "\r\n"
            "\r\n"
            "  Unknown signature [00000142] in header!\r\n"
            "0\r\n"
            " M.Material       = 000000AB\r\n"
            " M.StartVertex    = 0//5\r\n"
            " M.EndVertex      = 2//7\r\n"
            " M.VertexRefCount = 3\r\n"
            " M.StartTriangle  = 0\r\n"
            " M.EndTriangle    = 0\r\n"
            "\r\n"
            "    0;      0;     1;     2;\r\n"
            "REC4:    0;   1.500; -2.250; 123456.790; 0.000; 0.000; 1.000; -15720400; 0.250; 0.750; \r\n"
            "REC4:    1;   0.000; 0.000; 0.000; 0.000; 0.000; 1.000; -15720400; 1.000; 0.000; \r\n"
            "REC4:    2;   1.000; 2.000; 3.000; 0.000; 0.000; 1.000; -15720400; 4.000; 5.000; \r\n");

  // The colour in hexadecimal in REC3, and the three fields of REC7.
  TBlockSpec rec3Spec = OneMesh(24);
  TDecodeRun r3(Image(BuildMeshBlock(rec3Spec)), true);
  r3.Decode("lod0");
  EXPECT_NE(r3.Dbg().find("REC3:    0;   1.000; 2.000; 3.000; FF102030; 0.250; 0.500; \r\n"),
            std::string::npos);
  TBlockSpec rec7Spec = OneMesh(12, 1);
  rec7Spec.Vertices = VertexRecord(12, 1, 2.5f, -3, 0, 0);
  TDecodeRun r7(Image(BuildMeshBlock(rec7Spec)), true);
  r7.Decode("lod0");
  const std::string dbg7 = r7.Dbg();
  EXPECT_EQ(dbg7.substr(dbg7.find("REC7:")), "REC7:    0;   1.000; 2.500; -3.000; \r\n");
}

}  // namespace
