#include "output/bod_writer.h"

#include <cstring>
#include <string_view>

#include "driver/run_state.h"
#include "output/materials.h"
#include "support/number_text.h"
#include "support/output_file.h"
#include "support/text_helpers.h"
#include "support/writers.h"
#include "version.h"

namespace bw {
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

std::string TwoDigits(int32_t v) {
  return PadLeft(IntText(v), 2, '0');
}

void WriteMaterials(TBufStream& s, const TRun& run, const TMatrList& materials) {
  int32_t i = 0;
  for (const TMatrRec& mat : materials) {
    WriteText(s, FormatMatLine(run, i++, mat.ID));
    WriteText(s, "\r\n");
  }
}

void WriteCoords(TBufStream& s, const TRun& run, const TVertList& verts) {
  const auto& f = run.Settings.ScaleFactor;
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

std::string ScaledTriple(const TRun& run, float x, float y, float z) {
  const auto& f = run.Settings.ScaleFactor;
  return IntText(ScaledCoord(x, f[0])) + ", " + IntText(ScaledCoord(y, f[1])) + ", " +
         IntText(ScaledCoord(z, f[2]));
}

}  // namespace

void WriteBodFile(TRun& run, int32_t n, const std::string& lodName) {
  if (!run.Settings.GenBodOn) return;
  // Written under a temporary name: a failure part way leaves no truncated
  // file behind and keeps an earlier file of this name as it was.
  TOutputFile file(run, run.Names.BodBaseName + "_" + TwoDigits(n) + run.Settings.BodExt);
  TBufStream& s = file.Stream();

  WriteText(s, std::string("// ") + kBanner + "\r\n");
  WriteText(s, "// Generated from " + run.Names.InpFileName + ", LOD = " + lodName + "\r\n");
  WriteText(s, "// " + run.RunDateText + "\r\n");
  WriteText(s, "//\r\n");
  WriteText(s, "\r\n");
  WriteMaterials(s, run, run.ModelMatrList);
  WriteText(s, "\r\n");
  WriteText(s, kObjectSize);
  WriteCoords(s, run, run.ModelVertList);
  WriteText(s, kEndOfCoords);

  // A separator stands wherever the mesh changes, also before the first
  // polygon when it does not come from the block's first mesh.
  int32_t currentSeq = 0;
  int64_t pos = 0;
  for (const TTriRec& tri : run.ModelTriList) {
    if (tri.MeshSeq != currentSeq) {
      currentSeq = tri.MeshSeq;
      WriteText(s, kBodySeparator);
    }
    WritePolygon(s, tri, pos++);
  }
  WriteText(s, kEndOfBody);
  file.Commit();
}

void WriteGroupFile(TRun& run, int32_t n, int32_t g, const TMeshGroup& group) {
  const std::string numbers = TwoDigits(n) + "_" + TwoDigits(g);
  TOutputFile file(run, run.Names.BodBaseName + "_" + numbers + run.Settings.MeshExt);
  TBufStream& s = file.Stream();

  const std::string groupText = "Group:" + numbers + " file:" + file.FinalName() + "; pos = (" +
                                ScaledTriple(run, group.X, group.Y, group.Z) + ");\r\n";
  const bool originOn = run.Settings.OriginOn;
  WriteText(s, "//" + groupText);
  WriteText(s, "//Origin = (" +
                   ScaledTriple(run, originOn ? group.X : 0.0f, originOn ? group.Y : 0.0f,
                                originOn ? group.Z : 0.0f) +
                   ");\r\n\r\n");
  WriteMaterials(s, run, run.PartMatrList);
  WriteText(s, "\r\n");
  WriteText(s, kObjectSize);
  WriteCoords(s, run, run.PartVertList);
  WriteText(s, kEndOfCoords);
  int64_t pos = 0;
  for (const TTriRec& tri : run.PartTriList) WritePolygon(s, tri, pos++);
  WriteText(s, kEndOfBody);
  file.Commit();

  // The log names only files that were written in full.
  if (run.Settings.GenLogOn) WriteLog(run, groupText);
}

}  // namespace bw
