#include "output/materials.h"

#include <string_view>

#include "output/mat_template.h"
#include "support/buf_stream.h"
#include "support/context.h"
#include "support/number_text.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

// The signature and version words that tell a UTF file.
constexpr size_t kUtfIdSize = 8;

// The node's data as text, up to the first NUL byte or the end of the data.
std::string DataText(const TUtfNode& node) {
  std::string_view text(reinterpret_cast<const char*>(node.Data.data()), node.Data.size());
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  return std::string(text);
}

// Cuts the extension: from the last "." on, unless a folder separator or a
// drive colon comes after it.
std::string WithoutExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return fileName;
  const size_t sep = fileName.find_first_of("\\:", dot);
  if (sep != std::string::npos) return fileName;
  return fileName.substr(0, dot);
}

bool IsTextureNode(const TUtfNode& node) {
  return SameName(node.Name, "dt_name");
}

void WriteNodeListing(TContext& ctx, const TNodesList& nodes) {
  WriteDbg(ctx, "== BEG TEXTURE FILE ==\r\n");
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
    if (IsTextureNode(node) && node.DataSize > 0) {
      line += ' ';
      line += DataText(node);
    }
    line += "\r\n";
    WriteDbg(ctx, line);
  }
  WriteDbg(ctx, "\r\n\r\n");
}

// The texture names of the "dt_name" nodes, in node order, each with its
// dump line when Debug is on.
void AddTextureNodes(const TNodesList& nodes, TTexTable& tex, TContext& ctx) {
  const bool debugOn = ctx.DebugOn();
  for (int32_t i = 0; i < nodes.Count(); ++i) {
    const TUtfNode& node = nodes[i];
    if (!IsTextureNode(node)) continue;
    if (node.DataSize == 0) {
      if (debugOn) WriteDbg(ctx, "\r\n");
      continue;
    }
    const std::string materialName = nodes[node.ParentIdx].Name;
    const uint32_t id = NameHash(materialName);
    std::string key = DataText(node);
    std::string name = WithoutExtension(key);
    AddMatTex(tex, id, std::move(name), std::move(key));
    if (debugOn) WriteDbg(ctx, DWordToHex(id) + "  " + materialName + "  " + "\r\n");
  }
}

// A texture name is data: a byte that would end or break a line of the BOD
// file shows as "?".
std::string LineSafe(std::string name) {
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return name;
}

}  // namespace

TMatFile LoadMatFile(const std::string& matFileName) {
  TMatFile mat;
  mat.MatFileName = matFileName;
  TBufStream stream(matFileName, ModeRead, kBufSize);
  const int32_t size = stream.GetFileSize();
  mat.MatData.assign(static_cast<size_t>(size > 0 ? size : 0), 0);
  if (size > 0) {
    // Keep only what was actually read, should the file shrink meanwhile.
    const int32_t got = stream.Read(mat.MatData.data(), size);
    mat.MatData.resize(static_cast<size_t>(got > 0 ? got : 0));
  }
  return mat;
}

bool ParseMatFile(TMatFile& mat, TContext& ctx, std::string_view heading) {
  mat.MatNodeList.FreeAll();
  // NOTE: a file too short to hold the signature and version words (an
  // empty one too) is taken as one that is not a UTF file: its material
  // lines then carry the hexadecimal IDs, as for any unknown file.
  if (mat.MatData.size() < kUtfIdSize) return false;
  if (!ReadUtfImage(mat.MatData, mat.MatNodeList)) return false;

  const bool debugOn = ctx.DebugOn();
  if (debugOn && !heading.empty()) WriteDbg(ctx, heading);
  if (debugOn) WriteNodeListing(ctx, mat.MatNodeList);
  AddTextureNodes(mat.MatNodeList, mat.Tex, ctx);
  if (debugOn) WriteDbg(ctx, "== END TEXTURE FILE ==\r\n\r\n");
  return true;
}

void ParseModelMaterials(const TNodesList& nodes, TTexTable& tex, TContext& ctx) {
  const bool debugOn = ctx.DebugOn();
  if (debugOn) WriteDbg(ctx, "== BEG MODEL MATERIALS ==\r\n");
  AddTextureNodes(nodes, tex, ctx);
  if (debugOn) WriteDbg(ctx, "== END MODEL MATERIALS ==\r\n\r\n");
}

void AddMatTex(TTexTable& tex, uint32_t id, std::string name, std::string key) {
  if (tex.MatTexList.AddUnique(id, std::move(name)) >= 0) tex.TexKeys.push_back(std::move(key));
}

bool FindMatTex(const TMaterials& materials, uint32_t id, const TTexTable*& tex, int32_t& k) {
  for (const TMatSource& source : materials.Sources) {
    k = source.Tex->MatTexList.IndexOf(id);
    if (k >= 0) {
      tex = source.Tex;
      return true;
    }
  }
  return false;
}

std::string FormatMatLine(const TMaterials& materials, int32_t index, uint32_t id) {
  try {
    std::string line;
    bool ok = false;
    if (materials.Sources.empty()) {
      ok = FormatTemplate(kBuiltInTemplate, index, nullptr, line);
    } else {
      const TTexTable* tex = nullptr;
      int32_t k = -1;
      const std::string name =
          FindMatTex(materials, id, tex, k) ? LineSafe(tex->MatTexList[k].Name) : DWordToHex(id);
      ok = FormatTemplate(materials.StrMat, index, &name, line);
    }
    if (ok) return line;
  } catch (...) {
    // Falls through to the error text: a material line never ends a conversion.
  }
  return kFormatError;
}

}  // namespace bw
