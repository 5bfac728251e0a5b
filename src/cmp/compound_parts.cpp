#include "cmp/compound_parts.h"

#include "cmp/vmesh_ref.h"
#include "support/byte_reader.h"
#include "support/context.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

// The text of a name node: up to its first NUL, or the whole of what was
// copied when there is none; a folder gives the empty text.
std::string NodeText(const TUtfNode& node) {
  return TByteReader(node.Data).CString(0);
}

void WriteLevelLine(TContext& ctx, const std::string& levelPath, int32_t idx) {
  if (ctx.DebugOn()) WriteDbg(ctx, "\r\nParntName = \"" + levelPath + "\"  idx = " + IntText(idx) + "\r\n");
}

// Walks the chain first child, next sibling, ... of `parent`, calling
// visit(i) for each node until it returns false. A damaged chain that loops
// ends after as many steps as there are nodes.
template <class F>
void ForEachChild(const TNodesList& nodes, int32_t parent, F visit) {
  int32_t i = nodes[parent].ChildIdx;
  for (int32_t steps = 0; i != 0 && steps < nodes.Count(); ++steps) {
    if (!visit(i)) return;
    i = nodes[i].SiblingIdx;
  }
}

// Adds the record of one part when one of its levels refers into the block
// whose parent name hashes to `hash`.
void ReadPart(const TNodesList& nodes, int32_t part, uint32_t hash, TMeshGroups& groups, TContext& ctx) {
  const int32_t objectName = nodes.FindChild(part, "Object Name");
  const int32_t fileName = nodes.FindChild(part, "File Name");
  if (objectName == -1 || fileName == -1) return;

  const std::string file = NodeText(nodes[fileName]);
  std::string levelPath = "\\" + file + "\\MultiLevel";
  int32_t level = nodes.FindPath(levelPath);
  WriteLevelLine(ctx, levelPath, level);
  if (level == -1) {
    levelPath = "\\" + file + "\\VMeshPart";
    level = nodes.FindPath(levelPath);
    WriteLevelLine(ctx, levelPath, level);
    if (level == -1) return;
  }

  ForEachChild(nodes, level, [&](int32_t v) {
    const std::string& vName = nodes[v].Name;
    const std::string refPath = LowerCase(vName) == "vmeshref"
                                    ? levelPath + "\\" + vName
                                    : levelPath + "\\" + vName + "\\VMeshPart\\VMeshRef";
    const int32_t r = nodes.FindPath(refPath);
    if (ctx.DebugOn()) WriteDbg(ctx, ">Node = \"" + refPath + "\"  idx = " + IntText(r) + "\r\n");
    if (r == -1) return true;
    const TUtfNode& refNode = nodes[r];
    if (!HoldsVMeshRef(refNode)) return true;

    const TVMeshRef ref = ReadVMeshRef(refNode);
    if (ctx.DebugOn()) {
      WriteDbg(ctx, ">>VMeshRef = \"" + refNode.Name + "\"  ID = " + DWordToHex(ref.ID) +
                        "  crc = " + DWordToHex(hash) + "\r\n");
      WriteDbg(ctx, ">>StartMesh = " + IntText(ref.StartMesh) + "  MeshCount = " + IntText(ref.MeshCount) +
                        "  StartVertex = " + IntText(ref.StartVertex) +
                        "  EndVertex = " + IntText(ref.EndVertex) + "\r\n");
    }
    if (!RefersToBlock(ref, hash)) return true;

    if (ctx.DebugOn()) WriteDbg(ctx, ">>>VMeshRef ADD\r\n");
    AddMeshGroup(groups, levelPath, NodeText(nodes[objectName]), ref.StartMesh, ref.MeshCount,
                 ref.StartVertex, ref.EndVertex, ref.StartIndex, ref.EndIndex, 0.0f, 0.0f, 0.0f, ref.Bounds,
                 ref.U, ref.Radius);
    return false;  // one record per part and block: the first level that matches
  });
}

}  // namespace

int32_t FindCmpnd(const TNodesList& nodes, TContext& ctx) {
  const bool debug = ctx.DebugOn();
  if (debug) WriteDbg(ctx, "Find \"Cmpnd\"\r\n");
  int32_t found = -1;
  for (int32_t i = 0; i < nodes.Count(); ++i) {
    const TUtfNode& node = nodes[i];
    if (!SameName(node.Name, "cmpnd")) continue;
    found = i;
    if (debug)
      WriteDbg(ctx, "idx = " + PadLeft(IntText(i), 4, ' ') + "; parent = \"" + nodes[node.ParentIdx].Name +
                        "\";  node.name = \"" + node.Name + "\";  DataSize = " + UIntText(node.DataSize) +
                        "\r\n");
  }
  return found;
}

int32_t ReadCompoundParts(const TNodesList& nodes, const std::string& lodName, TMeshGroups& groups,
                          TContext& ctx) {
  groups.FreeAll();
  const int32_t cmpnd = FindCmpnd(nodes, ctx);
  if (cmpnd == -1) return -1;

  const uint32_t hash = NameHash(lodName);
  if (ctx.DebugOn()) WriteDbg(ctx, "======================\r\n");
  ForEachChild(nodes, cmpnd, [&](int32_t part) {
    ctx.Work.Charge(1);
    ReadPart(nodes, part, hash, groups, ctx);
    return true;
  });
  return cmpnd;
}

}  // namespace bw
