#include "output/materials.h"

#include "output/mat_template.h"
#include "support/context.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

void WriteNodeListing(TContext& ctx, const TMatSource& source) {
  WriteDbg(ctx, "== BEG TEXTURE FILE ==\r\n");
  const TNodesList& nodes = source.Nodes;
  // The texture nodes come in node order, as the listing meets them.
  auto tex = source.TexNodes.begin();
  // One line per node, built in one reused string (which also keeps GCC's
  // overlap warning for chains of string sums quiet in optimised builds).
  std::string line;
  for (int32_t i = 0; i < nodes.Count(); ++i) {
    const TUtfNode& node = nodes[i];
    line.assign("idx = ");
    AppendInt(line, static_cast<uint32_t>(i), 4);
    line += " \"";
    line += node.Name;
    line += "\";  DataSize = ";
    AppendInt(line, node.DataSize);
    line += ";  ChildIdx = ";
    AppendInt(line, static_cast<uint32_t>(node.ChildIdx));
    line += ";  Parent = ";
    AppendInt(line, static_cast<uint32_t>(node.ParentIdx));
    if (tex != source.TexNodes.end() && tex->NodeIdx == i) {
      if (tex->Named) {
        line += ' ';
        line += tex->Text;
      }
      ++tex;
    }
    line += "\r\n";
    WriteDbg(ctx, line);
  }
  WriteDbg(ctx, "\r\n\r\n");
}

// One line per "dt_name" node: the material's ID and name, or an empty line
// for a node without data.
void WriteTextureDump(TContext& ctx, const TMatSource& source) {
  for (const TTexNode& tex : source.TexNodes)
    WriteDbg(ctx, tex.Named ? DWordToHex(tex.ID) + "  " + tex.Material + "  " + "\r\n" : std::string("\r\n"));
}

// A texture name is data: a byte that would end or break a line of the BOD
// file shows as "?".
std::string LineSafe(std::string name) {
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return name;
}

}  // namespace

void WriteMatFileListing(const TMatSource& source, TContext& ctx, std::string_view heading) {
  if (source.Damaged) RaiseRange("damaged material file");
  if (!source.IsUtf || !ctx.DebugOn()) return;
  if (!heading.empty()) WriteDbg(ctx, heading);
  WriteNodeListing(ctx, source);
  WriteTextureDump(ctx, source);
  WriteDbg(ctx, "== END TEXTURE FILE ==\r\n\r\n");
}

void WriteModelMaterials(const TMatSource& source, TContext& ctx) {
  if (!ctx.DebugOn()) return;
  WriteDbg(ctx, "== BEG MODEL MATERIALS ==\r\n");
  WriteTextureDump(ctx, source);
  WriteDbg(ctx, "== END MODEL MATERIALS ==\r\n\r\n");
}

bool FindMatTex(const TMaterials& materials, uint32_t id, const TMatSource*& source, int32_t& k) {
  for (const TMatSource* s : materials.Sources) {
    k = s->Tex.MatTexList.IndexOf(id);
    if (k >= 0) {
      source = s;
      return true;
    }
  }
  return false;
}

TMatLookup LookUpMaterial(const TMaterials& materials, uint32_t id) {
  TMatLookup found;
  if (!FindMatTex(materials, id, found.Namer, found.Entry)) return found;
  found.ImageAt = FindImageIn(materials.Sources, found.Tex().Key, found.Image);
  if (found.ImageAt >= 0) found.ImageSource = materials.Sources[static_cast<size_t>(found.ImageAt)];
  return found;
}

std::string FormatMatLine(const TMaterials& materials, int32_t index, uint32_t id) {
  try {
    std::string line;
    bool ok = false;
    if (materials.Sources.empty()) {
      ok = FormatTemplate(kBuiltInTemplate, index, nullptr, line);
    } else {
      const TMatSource* source = nullptr;
      int32_t k = -1;
      const std::string name = FindMatTex(materials, id, source, k)
                                   ? LineSafe(source->Tex.MatTexList[k].Name)
                                   : DWordToHex(id);
      ok = FormatTemplate(materials.StrMat, index, &name, line);
    }
    if (ok) return line;
  } catch (...) {
    // Falls through to the error text: a material line never ends a conversion.
  }
  return kFormatError;
}

}  // namespace bw
