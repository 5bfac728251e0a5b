#include "cmp/part_placement.h"

#include <optional>
#include <vector>

#include "cmp/compound_parts.h"
#include "support/byte_reader.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

constexpr size_t kNameWidth = 64;

size_t RecordSize(TConsKind kind) {
  switch (kind) {
    case TConsKind::Fixed: return 176;
    case TConsKind::Revolute: return 208;
    case TConsKind::Sphere: return 212;
  }
  return 176;
}

const char* KindWord(TConsKind kind) {
  switch (kind) {
    case TConsKind::Fixed: return "Fixed";
    case TConsKind::Revolute: return "Revolute";
    case TConsKind::Sphere: return "Sphere";
  }
  return "Fixed";
}

size_t Unk2Count(TConsKind kind) {
  return kind == TConsKind::Sphere ? 6 : 5;
}

bool Fits(uint32_t usedSize, TConsKind kind) {
  return usedSize % RecordSize(kind) == 0;
}

// The kind of a constraint table. Several layouts share sizes (2288 bytes
// hold 13 Fixed or 11 Revolute records), so the names that tell the kind
// decide first; the size alone decides for other names.
std::optional<TConsKind> TableKind(const TUtfNode& node) {
  const std::string name = LowerCase(node.Name);
  std::optional<TConsKind> named;
  if (name == "fix" || name == "loose")
    named = TConsKind::Fixed;
  else if (name == "rev" || name == "pris")
    named = TConsKind::Revolute;
  else if (name == "sphere")
    named = TConsKind::Sphere;
  if (named && Fits(node.UsedSize, *named)) return named;

  for (TConsKind kind : {TConsKind::Fixed, TConsKind::Revolute, TConsKind::Sphere})
    if (Fits(node.UsedSize, kind)) return kind;
  return std::nullopt;
}

TConsRecord ReadConsRecord(const TByteReader& in, TConsKind kind) {
  TConsRecord rec;
  rec.RootName = in.FixedText(0, kNameWidth);
  rec.PartName = in.FixedText(kNameWidth, kNameWidth);
  for (size_t i = 0; i < 3; ++i) rec.Origin[i] = in.F32(128 + 4 * i);
  size_t mtxAt = 140;
  if (kind != TConsKind::Fixed) {
    for (size_t i = 0; i < 3; ++i) rec.Unk1[i] = in.F32(140 + 4 * i);
    mtxAt = 152;
    for (size_t i = 0; i < Unk2Count(kind); ++i) rec.Unk2[i] = in.F32(188 + 4 * i);
  }
  for (size_t i = 0; i < 9; ++i) rec.Mtx[i] = in.F32(mtxAt + 4 * i);
  return rec;
}

// The nine stored floats are the 3x3 column by column.
TMatrix MatrixOf(const std::array<float, 9>& m) {
  TMatrix res = kIdentity;
  for (size_t row = 0; row < 3; ++row)
    for (size_t col = 0; col < 3; ++col) res[4 * row + col] = m[3 * col + row];
  return res;
}

template <size_t N>
std::string FloatList(const std::array<float, N>& values, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += F5(values[i]) + "; ";
  return s;
}

struct TPlacement {
  float X = 0, Y = 0, Z = 0;
  TMatrix Mtx = kIdentity;
};

// Takes a placement one level up: p x (upper-left 3x3 of the parent's
// matrix) + the parent's offset, each component rounded once.
void LiftPoint(TPlacement& p, const TMeshGroup& parent) {
  const std::array<long double, 3> v = {p.X, p.Y, p.Z};
  const std::array<float, 3> offset = {parent.X, parent.Y, parent.Z};
  std::array<float, 3> out{};
  for (size_t j = 0; j < 3; ++j) {
    long double sum = 0;
    for (size_t k = 0; k < 3; ++k) sum += v[k] * static_cast<long double>(parent.Mtx[4 * k + j]);
    sum += offset[j];
    out[j] = static_cast<float>(sum);
  }
  p.X = out[0];
  p.Y = out[1];
  p.Z = out[2];
}

}  // namespace

void PrintConstraint(TContext& ctx, TConsKind kind, const TConsRecord& rec) {
  const bool jointed = kind != TConsKind::Fixed;
  WriteDbg(ctx, std::string(KindWord(kind)) + " : RootName = \"" + rec.RootName + "\";  PartName = \"" +
                    rec.PartName + "\";\r\n  Origin = (" + F5(rec.Origin[0]) + ", " + F5(rec.Origin[1]) +
                    ", " + F5(rec.Origin[2]) + ");\r\n");
  if (jointed) WriteDbg(ctx, "  Unk1 = " + FloatList(rec.Unk1, 3) + "\r\n");
  WriteDbg(ctx, "  Mtx = " + FloatList(rec.Mtx, 9) + "\r\n");
  if (jointed) WriteDbg(ctx, "  Unk2 = " + FloatList(rec.Unk2, Unk2Count(kind)) + "\r\n");
}

void ApplyConsTable(const TUtfNode& table, TConsKind kind, TMeshGroups& groups, TContext& ctx) {
  const TByteReader in(table.Data);
  const size_t size = RecordSize(kind);
  const size_t count = table.UsedSize / size;
  ctx.Work.Charge(count);
  for (size_t r = 0; r < count; ++r) {
    // Records beyond the bytes that were copied are not there to read; as
    // they lie back to back, none after the first missing one is either.
    if (!in.Has(r * size, size)) break;
    const TConsRecord rec = ReadConsRecord(TByteReader(in.Sub(r * size, size)), kind);
    if (ctx.DebugOn()) PrintConstraint(ctx, kind, rec);
    const int32_t g = groups.IndexOfPart(rec.PartName);
    if (g == -1) continue;
    TMeshGroup& group = groups[g];
    group.RootName = rec.RootName;
    group.X = rec.Origin[0];
    group.Y = rec.Origin[1];
    group.Z = rec.Origin[2];
    group.Mtx = MatrixOf(rec.Mtx);
  }
}

void ComposePlacements(TMeshGroups& groups, TContext& ctx) {
  const int32_t count = groups.Count();

  // Each group's parent, looked up once: -1 where the chain ends (the parent
  // is "root" or names no part).
  std::vector<int32_t> parent(static_cast<size_t>(count), -1);
  for (int32_t i = 0; i < count; ++i) {
    const std::string& rootName = groups[i].RootName;
    if (!SameName(rootName, "root")) parent[static_cast<size_t>(i)] = groups.IndexOfPart(rootName);
  }

  // Every chain reads the placements the tables left; the composed ones are
  // put in only at the end, so the order of the parts does not matter.
  std::vector<TPlacement> composed(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const TMeshGroup& g = groups[i];
    TPlacement& p = composed[static_cast<size_t>(i)];
    p.X = g.X;
    p.Y = g.Y;
    p.Z = g.Z;
    p.Mtx = g.Mtx;
    // A chain that loops stops after as many steps as there are groups.
    int32_t a = parent[static_cast<size_t>(i)];
    for (int32_t steps = 0; a != -1 && steps < count; ++steps) {
      ctx.Work.Charge(1);
      const TMeshGroup& ancestor = groups[a];
      LiftPoint(p, ancestor);
      TMatrix turned;
      MatMul(ancestor.Mtx, p.Mtx, turned);  // p.Mtx x ancestor.Mtx
      p.Mtx = turned;
      a = parent[static_cast<size_t>(a)];
    }
  }

  for (int32_t i = 0; i < count; ++i) {
    TMeshGroup& g = groups[i];
    const TPlacement& p = composed[static_cast<size_t>(i)];
    g.X = p.X;
    g.Y = p.Y;
    g.Z = p.Z;
    g.Mtx = p.Mtx;
  }
}

TMeshGroups ReadPartPlacement(const TNodesList& nodes, const std::string& lodName, TContext& ctx) {
  const bool debug = ctx.DebugOn();
  TMeshGroups groups;
  const int32_t cmpnd = ReadCompoundParts(nodes, lodName, groups, ctx);
  const int32_t cons = nodes.FindChild(cmpnd, "Cons");
  if (cons != -1) {
    int32_t n = nodes[cons].ChildIdx;
    for (int32_t steps = 0; n != 0 && steps < nodes.Count(); ++steps) {
      const std::optional<TConsKind> kind = TableKind(nodes[n]);
      if (!kind) {
        if (debug) WriteDbg(ctx, "Err: Unknown format tables.\r\n");
        throw EIdxError();
      }
      ApplyConsTable(nodes[n], *kind, groups, ctx);
      n = nodes[n].SiblingIdx;
    }
  }

  ComposePlacements(groups, ctx);

  if (debug) {
    WriteDbg(ctx, "======================\r\n");
    for (int32_t i = 0; i < groups.Count(); ++i) {
      const TMeshGroup& g = groups[i];
      WriteDbg(ctx, "idx = " + IntText(i) + "; RootName = \"" + g.RootName + "\";; PartName = \"" +
                        g.PartName + "\";  BegMesh = " + IntText(g.BegMesh) + "  MeshCnt = " +
                        IntText(g.MeshCnt) + "  X = " + F4(g.X) + "  Y = " + F4(g.Y) + "  Z = " + F4(g.Z) +
                        "  u0 = " + F4(g.U[0]) + "  u1 = " + F4(g.U[1]) + "  u2 = " + F4(g.U[2]) + "\r\n");
    }
  }
  return groups;
}

}  // namespace bw
