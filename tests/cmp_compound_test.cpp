#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <stdexcept>

#include "cmp/compound_parts.h"
#include "parts_builder.h"
#include "support/buf_stream.h"
#include "support/text_helpers.h"
#include "test_support.h"

using namespace bwtest;

namespace {

std::string Hex(uint32_t v) {
  return bw::DWordToHex(v);
}

TVMeshRefSpec Ref(uint16_t startMesh, uint16_t meshCount, uint32_t id = 0) {
  TVMeshRefSpec r;
  r.ID = id;
  r.StartMesh = startMesh;
  r.MeshCount = meshCount;
  return r;
}

// The part names of a table, in order.
std::vector<std::string> PartNames(const bw::TMeshGroups& groups) {
  std::vector<std::string> names;
  for (const bw::TMeshGroup& g : groups) names.push_back(g.PartName);
  return names;
}

}  // namespace

TEST(CompoundParts, OneRecordPerPartThroughEitherContainer) {
  TCompoundSpec desc;
  TVMeshRefSpec a = Ref(2, 3);
  a.StartVertex = 10;
  a.EndVertex = 20;
  a.StartIndex = 30;
  a.EndIndex = 40;
  a.Bounds = {1, 2, 3, 4, 5, 6};
  a.U = {7.5f, -8, 9};
  a.Radius = 11.25f;
  desc.Parts.push_back({"Alpha", "a.3db", a, true});
  desc.Parts.push_back({"Beta", "b.3db", Ref(65535, 65535), false});
  TDbgRun t;
  bw::TMeshGroups groups;
  t.Load(BuildUtf(CompoundTree(desc)));
  groups.Add({});  // a leftover of an earlier block

  EXPECT_EQ(bw::ReadCompoundParts(t.Nodes, "model.lod0.vms", groups, t.Ctx), 4);

  ASSERT_EQ(groups.Count(), 2);
  const bw::TMeshGroup& g = groups[0];
  EXPECT_EQ(g.RootName, "\\a.3db\\MultiLevel");
  EXPECT_EQ(g.PartName, "Alpha");
  EXPECT_EQ(g.BegMesh, 2);
  EXPECT_EQ(g.MeshCnt, 3);
  EXPECT_EQ(g.StartVertex, 10);
  EXPECT_EQ(g.EndVertex, 20);
  EXPECT_EQ(g.StartIndex, 30);
  EXPECT_EQ(g.EndIndex, 40);
  EXPECT_EQ(g.Bounds, (std::array<float, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(g.U, (std::array<float, 3>{7.5f, -8, 9}));
  EXPECT_EQ(g.Radius, 11.25f);
  EXPECT_EQ(g.X, 0.0f);
  EXPECT_EQ(g.Y, 0.0f);
  EXPECT_EQ(g.Z, 0.0f);
  EXPECT_EQ(g.W, 1.0f);
  EXPECT_EQ(g.Mtx, bw::kIdentity);
  const bw::TMeshGroup& h = groups[1];
  EXPECT_EQ(h.RootName, "\\b.3db\\VMeshPart");
  EXPECT_EQ(h.PartName, "Beta");
  // The 16-bit words are unsigned: the largest arrives whole, never as -1.
  EXPECT_EQ(h.BegMesh, 65535);
  EXPECT_EQ(h.MeshCnt, 65535);

  const std::string hash = Hex(TestNameHash("model.lod0.vms"));
  EXPECT_EQ(
      t.DbgText(),
      Lines({"Find \"Cmpnd\"", "idx =    4; parent = \"\\\";  node.name = \"Cmpnd\";  DataSize = 0",
             "======================", "", "ParntName = \"\\a.3db\\MultiLevel\"  idx = 15",
             ">Node = \"\\a.3db\\MultiLevel\\Level0\\VMeshPart\\VMeshRef\"  idx = 18",
             ">>VMeshRef = \"VMeshRef\"  ID = " + hash + "  crc = " + hash,
             ">>StartMesh = 2  MeshCount = 3  StartVertex = 10  EndVertex = 20", ">>>VMeshRef ADD", "",
             "ParntName = \"\\b.3db\\MultiLevel\"  idx = -1", "",
             "ParntName = \"\\b.3db\\VMeshPart\"  idx = 20",
             ">Node = \"\\b.3db\\VMeshPart\\VMeshRef\"  idx = 21",
             ">>VMeshRef = \"VMeshRef\"  ID = " + hash + "  crc = " + hash,
             ">>StartMesh = 65535  MeshCount = 65535  StartVertex = 0  EndVertex = 0", ">>>VMeshRef ADD"}));
}

TEST(CompoundParts, NoCmpndLeavesTheTableEmpty) {
  TDbgRun t;
  bw::TMeshGroups groups;
  t.Load(BuildUtf({Folder("VMeshLibrary", {Folder("m.lod0.vms", {Leaf("VMeshData", Bytes(16, 0))})})}));
  groups.Add({});
  EXPECT_EQ(bw::ReadCompoundParts(t.Nodes, "m.lod0.vms", groups, t.Ctx), -1);
  EXPECT_EQ(groups.Count(), 0);
  EXPECT_EQ(t.DbgText(), Lines({"Find \"Cmpnd\""}));
}

TEST(CompoundParts, TheLastCmpndInNodeOrderIsUsed) {
  const uint32_t id = TestNameHash("m.lod0.vms");
  TVMeshRefSpec ref = Ref(0, 1, id);
  TDbgRun t;
  bw::TMeshGroups groups;
  t.Load(BuildUtf({Folder("Cmpnd", {PartNode("Part_First", "First", "f.3db")}),                        // 1
                   Folder("Holder", {Folder("CMPND", {PartNode("Part_Second", "Second", "s.3db")})}),  // 6, 7
                   FileNode("f.3db", ref, true), FileNode("s.3db", ref, true)}));
  EXPECT_EQ(bw::ReadCompoundParts(t.Nodes, "m.lod0.vms", groups, t.Ctx), 7);
  EXPECT_EQ(PartNames(groups), std::vector<std::string>{"Second"});
  const std::string text = t.DbgText();
  EXPECT_EQ(text.substr(0, text.find("======")),
            Lines({"Find \"Cmpnd\"", "idx =    1; parent = \"\\\";  node.name = \"Cmpnd\";  DataSize = 0",
                   "idx =    7; parent = \"Holder\";  node.name = \"CMPND\";  DataSize = 0"}));
}

TEST(CompoundParts, LevelsAreLookedUpInTheirOrder) {
  const uint32_t id = TestNameHash("m.lod0.vms");
  const uint32_t other = TestNameHash("m.lod1.vms");
  auto level = [](const std::string& name, const TVMeshRefSpec& ref) {
    return Folder(name, {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(ref))})});
  };
  TDbgRun t(false);
  bw::TMeshGroups groups;
  t.Load(BuildUtf(
      {Folder("Cmpnd", {PartNode("P1", "Both", "both.3db"), PartNode("P2", "Many", "many.3db"),
                        PartNode("P3", "Plain", "plain.3db")}),
       // MultiLevel wins over VMeshPart even when only VMeshPart matches.
       Folder("both.3db", {Folder("MultiLevel", {level("Level0", Ref(1, 1, other))}),
                           Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(Ref(2, 1, id)))})}),
       // A data node among the levels is passed over; the first matching level wins.
       Folder("many.3db",
              {Folder("MultiLevel", {Leaf("Switch", Bytes(8, 1)), level("Level0", Ref(3, 1, other)),
                                     level("Level1", Ref(4, 1, id)), level("Level2", Ref(5, 1, id))})}),
       // Under a plain container a child with another name needs its own VMeshPart\VMeshRef.
       Folder(
           "plain.3db",
           {Folder("VMeshPart",
                   {Folder("Extra", {Folder("VMeshPart", {Leaf("VMeshRef", VMeshRefData(Ref(6, 1, id)))})}),
                    Leaf("Other", VMeshRefData(Ref(7, 1, id)))})})}));

  bw::ReadCompoundParts(t.Nodes, "m.lod0.vms", groups, t.Ctx);
  ASSERT_EQ(PartNames(groups), (std::vector<std::string>{"Many", "Plain"}));
  EXPECT_EQ(groups[0].BegMesh, 4);
  EXPECT_EQ(groups[1].BegMesh, 6);
  EXPECT_EQ(groups[1].RootName, "\\plain.3db\\VMeshPart");

  // Each block rebuilds the table from scratch with its own levels.
  bw::ReadCompoundParts(t.Nodes, "m.lod1.vms", groups, t.Ctx);
  ASSERT_EQ(PartNames(groups), (std::vector<std::string>{"Both", "Many"}));
  EXPECT_EQ(groups[0].BegMesh, 1);
  EXPECT_EQ(groups[1].BegMesh, 3);
}

TEST(CompoundParts, RejectedReferencesAddNothing) {
  const uint32_t id = TestNameHash("m.lod0.vms");
  TVMeshRefSpec header59 = Ref(0, 1, id);
  header59.HeaderSize = 59;
  TVMeshRefSpec header61 = header59;
  header61.HeaderSize = 61;
  Bytes shortRef = VMeshRefData(Ref(0, 1, id));
  shortRef.resize(59);
  TNodeSpec uncopied = Leaf("VMeshRef", VMeshRefData(Ref(0, 1, id)));
  uncopied.UsedSizeOverride = 40;  // 60 reserved, 40 copied
  auto file = [](const std::string& name, TNodeSpec ref) {
    return Folder(name, {Folder("VMeshPart", {std::move(ref)})});
  };
  TDbgRun t;
  bw::TMeshGroups groups;
  t.Load(BuildUtf(
      {Folder("Cmpnd", {PartNode("P1", "Foreign", "f1"), PartNode("P2", "H59", "f2"),
                        PartNode("P3", "H61", "f3"), PartNode("P4", "Short", "f4"),
                        PartNode("P5", "Uncopied", "f5"), PartNode("P6", "Folder", "f6"),
                        PartNode("P7", "NoLevel", "f7"), Folder("P8", {TextLeaf("Object Name", "NoFile")}),
                        Folder("P9", {TextLeaf("File Name", "f1")})}),
       file("f1", Leaf("VMeshRef", VMeshRefData(Ref(0, 1, 0x12345678)))),
       file("f2", Leaf("VMeshRef", VMeshRefData(header59))),
       file("f3", Leaf("VMeshRef", VMeshRefData(header61))), file("f4", Leaf("VMeshRef", shortRef)),
       file("f5", uncopied), file("f6", Folder("VMeshRef", {})), Folder("f7", {})}));
  bw::ReadCompoundParts(t.Nodes, "m.lod0.vms", groups, t.Ctx);
  EXPECT_EQ(groups.Count(), 0);

  // Only the references of 60 copied bytes are listed; parts without both
  // names are not mentioned at all.
  const std::string hash = Hex(id);
  const std::string text = t.DbgText();
  EXPECT_EQ(text.substr(text.find("======")),
            Lines({"======================",
                   "",
                   "ParntName = \"\\f1\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f1\\VMeshPart\"  idx = 35",
                   ">Node = \"\\f1\\VMeshPart\\VMeshRef\"  idx = 36",
                   ">>VMeshRef = \"VMeshRef\"  ID = 12345678  crc = " + hash,
                   ">>StartMesh = 0  MeshCount = 1  StartVertex = 0  EndVertex = 0",
                   "",
                   "ParntName = \"\\f2\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f2\\VMeshPart\"  idx = 38",
                   ">Node = \"\\f2\\VMeshPart\\VMeshRef\"  idx = 39",
                   ">>VMeshRef = \"VMeshRef\"  ID = " + hash + "  crc = " + hash,
                   ">>StartMesh = 0  MeshCount = 1  StartVertex = 0  EndVertex = 0",
                   "",
                   "ParntName = \"\\f3\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f3\\VMeshPart\"  idx = 41",
                   ">Node = \"\\f3\\VMeshPart\\VMeshRef\"  idx = 42",
                   ">>VMeshRef = \"VMeshRef\"  ID = " + hash + "  crc = " + hash,
                   ">>StartMesh = 0  MeshCount = 1  StartVertex = 0  EndVertex = 0",
                   "",
                   "ParntName = \"\\f4\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f4\\VMeshPart\"  idx = 44",
                   ">Node = \"\\f4\\VMeshPart\\VMeshRef\"  idx = 45",
                   "",
                   "ParntName = \"\\f5\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f5\\VMeshPart\"  idx = 47",
                   ">Node = \"\\f5\\VMeshPart\\VMeshRef\"  idx = 48",
                   "",
                   "ParntName = \"\\f6\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f6\\VMeshPart\"  idx = 50",
                   ">Node = \"\\f6\\VMeshPart\\VMeshRef\"  idx = 51",
                   "",
                   "ParntName = \"\\f7\\MultiLevel\"  idx = -1",
                   "",
                   "ParntName = \"\\f7\\VMeshPart\"  idx = -1"}));
}

TEST(CompoundParts, NamesWithoutNulStopAtTheEndOfTheirData) {
  const uint32_t id = TestNameHash("m.lod0.vms");
  TDbgRun t(false);
  bw::TMeshGroups groups;
  t.Load(BuildUtf({Folder("Cmpnd", {Folder("P", {Leaf("Object Name", Bytes{'H', 'u', 'l', 'l'}),
                                                 Leaf("File Name", Bytes{'h', '.', '3', 'd', 'b'})})}),
                   FileNode("h.3db", Ref(0, 1, id), false)}));
  bw::ReadCompoundParts(t.Nodes, "m.lod0.vms", groups, t.Ctx);
  EXPECT_EQ(PartNames(groups), std::vector<std::string>{"Hull"});
}

TEST(CompoundParts, ALoopingPartChainEnds) {
  TCompoundSpec desc;
  desc.Parts.push_back({"A", "", Ref(0, 1), true});
  desc.Parts.push_back({"B", "", Ref(1, 1), true});
  Bytes image = BuildUtf(CompoundTree(desc));
  // Part_B (node 10) leads back to Part_A (node 6).
  SetU32(image, kHeaderSize + 10 * kEntrySize, 6 * kEntrySize);
  TDbgRun t(false);
  bw::TMeshGroups groups;
  t.Load(image);
  bw::ReadCompoundParts(t.Nodes, "model.lod0.vms", groups, t.Ctx);
  ASSERT_GE(groups.Count(), 2);
  EXPECT_LE(groups.Count(), t.Nodes.Count());
  EXPECT_EQ(groups[0].PartName, "A");
  EXPECT_EQ(groups[1].PartName, "B");
}
