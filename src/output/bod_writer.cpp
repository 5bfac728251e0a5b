#include "output/bod_writer.h"

#include <cstring>
#include <string_view>

#include "output/materials.h"
#include "support/context.h"
#include "support/number_text.h"
#include "support/output_file.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {

std::string TwoDigits(int32_t v) {
  return PadLeft(IntText(v), 2, '0');
}

namespace {

constexpr std::string_view kObjectSize = "10000; / Automatic Object Size\r\n\r\n";
constexpr std::string_view kEndOfCoords = "-1;  -1;   -1; / marks end of coords for body\r\n\r\n";
constexpr std::string_view kBodySeparator = "-99; 00000000000000000001;\r\n";
constexpr std::string_view kEndOfBody =
    "-99; 00000000000000000001;\r\n-99; 0000000000000000; /Mark end of body\r\n";

// One output line, built on the stack: numbers go in through to_chars-based
// helpers, so a line costs no heap allocation. The longest line (a polygon
// with six texture texts at their widest) stays far below the capacity.
class TLine {
 public:
  // Literals are copied with their size known here, so the copy is a few
  // moves instead of a library call.
  template <size_t N>
  TLine& Text(const char (&s)[N]) {
    std::memcpy(FBuf + FLen, s, N - 1);
    FLen += N - 1;
    return *this;
  }
  TLine& Text(std::string_view s) {
    std::memcpy(FBuf + FLen, s.data(), s.size());
    FLen += s.size();
    return *this;
  }
  TLine& Int(int64_t v) {
    FLen += IntChars(v, FBuf + FLen);
    return *this;
  }
  TLine& Tex(float v) {
    FLen += TexCoordText(v, FBuf + FLen);
    return *this;
  }
  std::string_view View() const { return {FBuf, FLen}; }

 private:
  char FBuf[1024];
  size_t FLen = 0;
};

void WriteMaterials(TBufStream& s, const TMaterials& materials, const TMatrList& list) {
  int32_t i = 0;
  for (const TMatrRec& mat : list) {
    WriteText(s, FormatMatLine(materials, i++, mat.ID));
    WriteText(s, "\r\n");
  }
}

void WriteCoords(TBufStream& s, const std::array<float, 3>& f, const TVertList& verts) {
  int64_t i = 0;
  for (const TVertRec& v : verts) {
    TLine line;
    line.Int(ScaledCoord(v.X, f[0])).Text("; ").Int(ScaledCoord(v.Y, f[1])).Text("; ");
    line.Int(ScaledCoord(v.Z, f[2])).Text("; / ").Int(i++).Text("\r\n");
    WriteText(s, line.View());
  }
}

void WritePolygon(TBufStream& s, const TTriRec& t, int64_t n) {
  TLine line;
  line.Int(t.MatIndex).Text("; ").Int(t.A).Text("; ").Int(t.B).Text("; ").Int(t.C).Text("; -25; 1; ");
  line.Tex(t.UA).Text(";").Tex(t.VA).Text("; ");
  line.Tex(t.UB).Text(";").Tex(t.VB).Text("; ");
  line.Tex(t.UC).Text(";").Tex(t.VC).Text("; ");
  line.Text("/ (").Int(n).Text(") Flags 0x0\r\n");
  WriteText(s, line.View());
}

std::string ScaledTriple(const std::array<float, 3>& f, float x, float y, float z) {
  return IntText(ScaledCoord(x, f[0])) + ", " + IntText(ScaledCoord(y, f[1])) + ", " +
         IntText(ScaledCoord(z, f[2]));
}

}  // namespace

void WriteBodFile(const TBodyLists& model, int32_t n, const std::string& lodName, const TBodOutput& out) {
  // Written under a temporary name: a failure part way leaves no truncated
  // file behind and keeps an earlier file of this name as it was.
  TOutputFile file(out.Guard, out.BodBaseName + "_" + TwoDigits(n) + out.BodExt);
  TBufStream& s = file.Stream();

  WriteText(s, "// " + out.Banner + "\r\n");
  WriteText(s, "// Generated from " + out.InpFileName + ", LOD = " + lodName + "\r\n");
  WriteText(s, "// " + out.DateText + "\r\n");
  WriteText(s, "//\r\n");
  WriteText(s, "\r\n");
  WriteMaterials(s, out.Materials, model.MatrList);
  WriteText(s, "\r\n");
  WriteText(s, kObjectSize);
  WriteCoords(s, out.ScaleFactor, model.VertList);
  WriteText(s, kEndOfCoords);

  // A separator stands wherever the mesh changes, also before the first
  // polygon when it does not come from the block's first mesh.
  int32_t currentSeq = 0;
  int64_t pos = 0;
  for (const TTriRec& tri : model.TriList) {
    if (tri.MeshSeq != currentSeq) {
      currentSeq = tri.MeshSeq;
      WriteText(s, kBodySeparator);
    }
    WritePolygon(s, tri, pos++);
  }
  WriteText(s, kEndOfBody);
  file.Commit();
}

void WriteGroupFile(const TBodyLists& part, int32_t n, int32_t g, const TMeshGroup& group,
                    const TBodOutput& out, TContext& ctx) {
  const std::string numbers = TwoDigits(n) + "_" + TwoDigits(g);
  TOutputFile file(out.Guard, out.BodBaseName + "_" + numbers + out.MeshExt);
  TBufStream& s = file.Stream();

  const std::string groupText = "Group:" + numbers + " file:" + file.FinalName() + "; pos = (" +
                                ScaledTriple(out.ScaleFactor, group.X, group.Y, group.Z) + ");\r\n";
  const bool originOn = out.OriginOn;
  WriteText(s, "//" + groupText);
  WriteText(s, "//Origin = (" +
                   ScaledTriple(out.ScaleFactor, originOn ? group.X : 0.0f, originOn ? group.Y : 0.0f,
                                originOn ? group.Z : 0.0f) +
                   ");\r\n\r\n");
  WriteMaterials(s, out.Materials, part.MatrList);
  WriteText(s, "\r\n");
  WriteText(s, kObjectSize);
  WriteCoords(s, out.ScaleFactor, part.VertList);
  WriteText(s, kEndOfCoords);
  int64_t pos = 0;
  for (const TTriRec& tri : part.TriList) WritePolygon(s, tri, pos++);
  WriteText(s, kEndOfBody);
  file.Commit();

  // The log names only files that were written in full.
  WriteLog(ctx, groupText);
}

}  // namespace bw
