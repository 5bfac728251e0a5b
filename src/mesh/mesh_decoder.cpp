#include "mesh/mesh_decoder.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "cmp/vmesh_ref.h"
#include "mesh/mesh_lists.h"
#include "support/byte_reader.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

constexpr size_t kHeaderSize = 16;
constexpr size_t kMeshRecSize = 12;
constexpr size_t kTriangleSize = 6;
constexpr uint16_t kKnownSignature = 0x112;
// Blocks of this code hold position and normal in 24-byte records, the size
// that otherwise means position, colour and texture coordinate.
constexpr uint16_t kPositionNormalSignature = 0x012;
constexpr int64_t kMaxListIndex = 65535;

// A vertex record: its fields are 4 bytes each, in order. 'F' is a single,
// 'H' a colour shown in hexadecimal, 'D' a colour shown as signed decimal.
struct TLayout {
  const char* Label;
  std::string_view Fields;
  int UField;  // field numbers of U and V; -1 when the layout has none
  int VField;
  uint32_t Size() const { return static_cast<uint32_t>(4 * Fields.size()); }
};

// Tested in this order; the first whose size matches wins.
constexpr std::array<TLayout, 7> kLayouts = {{
    {"REC1:", "FFFFFFFF", 6, 7},
    {"REC2:", "FFFFFFFFFF", 6, 7},
    {"REC3:", "FFFHFF", 4, 5},
    {"REC4:", "FFFFFFDFF", 7, 8},
    {"REC5:", "FFFFFFDFFFF", 7, 8},
    {"REC6:", "FFFFF", 3, 4},
    {"REC7:", "FFF", -1, -1},
}};
constexpr TLayout kPositionNormal = {"REC8:", "FFFFFF", -1, -1};

const TLayout* LayoutOf(uint16_t signature, int64_t size) {
  if (signature == kPositionNormalSignature && size == kPositionNormal.Size()) return &kPositionNormal;
  for (const TLayout& layout : kLayouts)
    if (layout.Size() == size) return &layout;
  return nullptr;
}

struct THeader {
  uint32_t Kind = 0;
  uint32_t SubKind = 0;
  uint16_t MeshCount = 0;
  uint16_t VertexRefCount = 0;
  uint16_t Signature = 0;
  uint16_t VertexCount = 0;
};

void WriteHeaderDump(TContext& ctx, const THeader& h) {
  WriteDbg(ctx, "\r\n");
  WriteDbg(ctx, "H.MeshCount      = " + IntText(h.MeshCount) + "\r\n" +
                    "H.VertexRefCount = " + IntText(h.VertexRefCount) + "\r\n" +
                    "H.VertexCount    = " + IntText(h.VertexCount) + "\r\n" + "\r\n");
  WriteDbg(ctx, "\r\n");
}

void DecodeMeshes(const TByteReader& rd, const THeader& h, TMeshList& meshes, TContext& ctx) {
  if (h.MeshCount == 0) RaiseRange("mesh data block without meshes");
  meshes.Reserve(h.MeshCount);
  int64_t s = 0;  // next vertex
  int64_t t = 0;  // next triangle
  for (size_t i = 0; i < h.MeshCount; ++i) {
    const size_t at = kHeaderSize + kMeshRecSize * i;
    const uint32_t material = rd.U32(at);
    const uint16_t startVertex = rd.U16(at + 4);
    const uint16_t endVertex = rd.U16(at + 6);
    const uint16_t vertexRefCount = rd.U16(at + 8);
    const int64_t nv = int64_t{endVertex} - startVertex + 1;
    const int64_t nt = vertexRefCount / 3;
    if (ctx.DebugOn())
      WriteDbg(ctx, IntText(static_cast<int64_t>(i)) + "\r\n" + " M.Material       = " +
                        DWordToHex(material) + "\r\n" + " M.StartVertex    = " + IntText(s) + "//" +
                        IntText(startVertex) + "\r\n" + " M.EndVertex      = " + IntText(s + nv - 1) + "//" +
                        IntText(endVertex) + "\r\n" + " M.VertexRefCount = " + IntText(vertexRefCount) +
                        "\r\n" + " M.StartTriangle  = " + IntText(t) + "\r\n" +
                        " M.EndTriangle    = " + IntText(t + nt - 1) + "\r\n" + "\r\n");
    for (const int64_t value : {s, s + nv - 1, t, t + nt - 1})
      if (value < 0 || value > kMaxListIndex) RaiseRange("mesh range outside 0..65535");
    AddMesh(meshes, material, static_cast<uint16_t>(s), static_cast<uint16_t>(s + nv - 1), vertexRefCount,
            static_cast<uint16_t>(t), static_cast<uint16_t>(t + nt - 1), startVertex);
    t += nt;
    s += nv;
  }
}

void DecodeTriangles(const TByteReader& rd, const THeader& h, TCornerList& tris, TContext& ctx) {
  const size_t count = h.VertexRefCount / 3;
  if (count == 0) RaiseRange("mesh data block without triangles");
  tris.Reserve(count);
  const size_t first = kHeaderSize + kMeshRecSize * h.MeshCount;
  std::string line;
  for (size_t j = 0; j < count; ++j) {
    const size_t at = first + kTriangleSize * j;
    const uint16_t a = rd.U16(at);
    const uint16_t b = rd.U16(at + 2);
    const uint16_t c = rd.U16(at + 4);
    if (ctx.DebugOn()) {
      line.clear();
      AppendInt(line, static_cast<int64_t>(j), 5);
      line += ";   ";
      AppendInt(line, a, 4);
      line += ";  ";
      AppendInt(line, b, 4);
      line += ";  ";
      AppendInt(line, c, 4);
      line += ";\r\n";
      WriteDbg(ctx, line);
    }
    AddTri(tris, a, b, c);
  }
}

// The dump line of one vertex, built in `line`.
void VertexLine(std::string& line, const TLayout& layout, size_t k, const TByteReader& rd, size_t at) {
  line.assign(layout.Label);
  AppendInt(line, static_cast<int64_t>(k), 5);
  line += ";   ";
  char number[kFixedTextMax];
  for (size_t f = 0; f < layout.Fields.size(); ++f) {
    const size_t fieldAt = at + 4 * f;
    switch (layout.Fields[f]) {
      case 'F': line.append(number, FixedChars(rd.F32(fieldAt), 8, number)); break;
      case 'H': line += DWordToHex(rd.U32(fieldAt)); break;
      default: AppendInt(line, rd.I32(fieldAt)); break;
    }
    line += "; ";
  }
  line += "\r\n";
}

// The vertices of the block; whether their layout carries texture
// coordinates is the result.
bool DecodeVertices(const TByteReader& rd, const THeader& h, uint32_t dataSize, size_t vertexOffset,
                    TVertList& verts, TContext& ctx) {
  if (h.VertexCount == 0) RaiseRange("mesh data block without vertices");
  const int64_t vertexSize = (int64_t{dataSize} - static_cast<int64_t>(vertexOffset)) / h.VertexCount;
  const TLayout* layout = LayoutOf(h.Signature, vertexSize);
  if (!layout) {
    ctx.Console.Line("  Error: unknown structure/format tables!");
    if (ctx.DebugOn()) WriteDbg(ctx, "  Error: unknown structure/format tables!\r\n");
    throw EIdxError();
  }
  verts.Reserve(h.VertexCount);
  const size_t size = layout->Size();
  std::string line;
  for (size_t k = 0; k < h.VertexCount; ++k) {
    const size_t at = vertexOffset + size * k;
    rd.Require(at, size);
    if (ctx.DebugOn()) {
      VertexLine(line, *layout, k, rd, at);
      WriteDbg(ctx, line);
    }
    const float u = layout->UField < 0 ? 0.0f : rd.F32(at + 4 * static_cast<size_t>(layout->UField));
    const float v = layout->VField < 0 ? 1.0f : rd.F32(at + 4 * static_cast<size_t>(layout->VField));
    AddVert(verts, rd.F32(at), rd.F32(at + 4), rd.F32(at + 8), u, v);
  }
  return layout->UField >= 0;
}

// The meshes of a model without a part table are drawn through the block's
// references all the same: each mesh starts at the StartVertex of the first
// reference in node order that holds it, plus its own stored start. Meshes
// that several references hold share one pool of vertices, so the running
// sum of the vertex counts does not find them. A mesh no reference holds
// keeps the running sum.
void ResolveRootStarts(const TNodesList& nodes, const std::string& lodName, TMeshList& meshes,
                       TContext& ctx) {
  ctx.Work.Charge(static_cast<uint64_t>(nodes.Count()));
  const uint32_t hash = NameHash(lodName);
  const auto count = static_cast<uint32_t>(meshes.Count());
  // nextOpen[i]: the first mesh at or after i that no reference has taken
  // yet (count when none), so that every mesh is visited once however
  // many references overlap.
  std::vector<uint32_t> nextOpen(count + 1);
  for (uint32_t i = 0; i <= count; ++i) nextOpen[i] = i;
  auto findOpen = [&](uint32_t i) {
    uint32_t root = i;
    while (nextOpen[root] != root) root = nextOpen[root];
    while (nextOpen[i] != root) {
      const uint32_t next = nextOpen[i];
      nextOpen[i] = root;
      i = next;
    }
    return root;
  };
  for (const TUtfNode& node : nodes) {
    if (!SameName(node.Name, "vmeshref") || !HoldsVMeshRef(node)) continue;
    const TVMeshRef ref = ReadVMeshRef(node);
    if (!RefersToBlock(ref, hash) || ref.StartMesh >= count) continue;
    const uint32_t end = std::min<uint32_t>(uint32_t{ref.StartMesh} + ref.MeshCount, count);
    for (uint32_t i = findOpen(ref.StartMesh); i < end; i = findOpen(i)) {
      TMeshRec& mesh = meshes[static_cast<int32_t>(i)];
      mesh.RootFirstVertex = int32_t{ref.StartVertex} + mesh.StoredStartVertex;
      nextOpen[i] = i + 1;
    }
  }
}

}  // namespace

void DecodeMeshData(const TNodesList& nodes, const std::string& lodName, TMeshGroups& groups,
                    TMeshData& block, TContext& ctx) {
  block.MeshList.FreeAll();
  block.VertList.FreeAll();
  block.TriList.FreeAll();
  block.TexCoords = false;

  const int32_t idx = nodes.FindMeshData(lodName);
  if (idx < 0) return;
  const TUtfNode& node = nodes[idx];
  const uint32_t dataSize = node.DataSize;
  // NOTE: DataSize is what the file claims and drives the layout; reads go
  // through the bytes actually present, so a claim beyond them fails there.
  const TByteReader rd(node.Data);

  if (dataSize < kHeaderSize) RaiseRange("mesh data block shorter than its header");
  THeader h;
  h.Kind = rd.U32(0);
  h.SubKind = rd.U32(4);
  h.MeshCount = rd.U16(8);
  h.VertexRefCount = rd.U16(10);
  h.Signature = rd.U16(12);
  h.VertexCount = rd.U16(14);

  if (h.Kind == 1 && h.SubKind == 4) {
    if (ctx.DebugOn()) WriteHeaderDump(ctx, h);
    if (h.Signature != kKnownSignature) {
      const std::string text = "  Unknown signature [" + DWordToHex(h.Signature) + "] in header!";
      ctx.Console.Line(text);
      if (ctx.DebugOn()) WriteDbg(ctx, text + "\r\n");
    }
    const size_t vertexOffset =
        kHeaderSize + kMeshRecSize * h.MeshCount + kTriangleSize * (h.VertexRefCount / 3u);
    if (vertexOffset > dataSize) RaiseRange("mesh data block shorter than its tables");
    ctx.Work.Charge(uint64_t{h.MeshCount} + h.VertexRefCount / 3u + h.VertexCount);
    DecodeMeshes(rd, h, block.MeshList, ctx);
    DecodeTriangles(rd, h, block.TriList, ctx);
    block.TexCoords = DecodeVertices(rd, h, dataSize, vertexOffset, block.VertList, ctx);
  }

  if (groups.Count() == 0 && block.MeshList.Count() > 0) {
    ResolveRootStarts(nodes, lodName, block.MeshList, ctx);
    AddMeshGroup(groups, "Root", "Root", 0, h.MeshCount, 0, h.VertexCount - 1, 0, h.VertexRefCount / 3 - 1, 0,
                 0, 0, {}, {}, 0)
        .DefaultPart = true;
  }

  ctx.Console.Line("  Data Size = " + PadLeft(UIntText(dataSize), 6, ' ') +
                   ";   Meshes = " + IntText(block.MeshList.Count()));
}

}  // namespace bw
