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

// The BOD files' stream buffer: a few MB of text reach the file in few
// system calls, and the buffer still comes from the heap's reused memory.
constexpr int32_t kBodBufSize = 64 * 1024;

constexpr std::string_view kObjectSize = "10000; / Automatic Object Size\r\n\r\n";
constexpr std::string_view kEndOfCoords = "-1;  -1;   -1; / marks end of coords for body\r\n\r\n";
constexpr std::string_view kBodySeparator = "-99; 00000000000000000001;\r\n";
constexpr std::string_view kEndOfBody =
    "-99; 00000000000000000001;\r\n-99; 0000000000000000; /Mark end of body\r\n";

// Lines are built in place in the stream's buffer, numbers written
// straight into it: room for the longest line (a polygon with six texture
// texts at their widest, under 512 bytes) and the slack the number writers
// store past their text.
constexpr int32_t kLineRoom = 1024;

template <size_t N>
char* Put(char* p, const char (&s)[N]) {
  std::memcpy(p, s, N - 1);
  return p + N - 1;
}

void WriteMaterials(TBufStream& s, const TMaterials& materials, const TMatrList& list) {
  int32_t i = 0;
  for (const TMatrRec& mat : list) {
    WriteText(s, FormatMatLine(materials, i++, mat.ID));
    WriteText(s, "\r\n");
  }
}

void WriteCoords(TBufStream& s, const std::array<float, 3>& f, const TVertList& verts) {
  TCountText index;
  for (const TVertRec& v : verts) {
    char* const line = s.WriteRoom(kLineRoom);
    char* p = PutInt(line, ScaledCoord(v.X, f[0]));
    p = PutInt(Put(p, "; "), ScaledCoord(v.Y, f[1]));
    p = PutInt(Put(p, "; "), ScaledCoord(v.Z, f[2]));
    p = Put(index.Put(Put(p, "; / ")), "\r\n");
    index.Next();
    s.Written(static_cast<int32_t>(p - line));
  }
}

void WritePolygon(TBufStream& s, const TTriRec& t, const TCountText& n) {
  char* const line = s.WriteRoom(kLineRoom);
  char* p = Put(PutInt(line, t.MatIndex), "; ");
  p = Put(PutInt(p, t.A), "; ");
  p = Put(PutInt(p, t.B), "; ");
  p = Put(PutInt(p, t.C), "; -25; 1; ");
  p = Put(PutTexCoord(Put(PutTexCoord(p, t.UA), ";"), t.VA), "; ");
  p = Put(PutTexCoord(Put(PutTexCoord(p, t.UB), ";"), t.VB), "; ");
  p = Put(PutTexCoord(Put(PutTexCoord(p, t.UC), ";"), t.VC), "; ");
  p = Put(n.Put(Put(p, "/ (")), ") Flags 0x0\r\n");
  s.Written(static_cast<int32_t>(p - line));
}

std::string ScaledTriple(const std::array<float, 3>& f, float x, float y, float z) {
  return IntText(ScaledCoord(x, f[0])) + ", " + IntText(ScaledCoord(y, f[1])) + ", " +
         IntText(ScaledCoord(z, f[2]));
}

}  // namespace

std::string WriteBodFile(const TBodyLists& model, int32_t n, const std::string& lodName, const TBodOutput& out) {
  // Written under a temporary name: a failure part way leaves no truncated
  // file behind and keeps an earlier file of this name as it was.
  TOutputFile file(out.Guard, out.BodBaseName + "_" + TwoDigits(n) + out.BodExt, kBodBufSize);
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
  TCountText pos;
  for (const TTriRec& tri : model.TriList) {
    if (tri.MeshSeq != currentSeq) {
      currentSeq = tri.MeshSeq;
      WriteText(s, kBodySeparator);
    }
    WritePolygon(s, tri, pos);
    pos.Next();
  }
  WriteText(s, kEndOfBody);
  file.Commit();
  return file.FinalName();
}

std::string WriteGroupFile(const TBodyLists& part, int32_t n, int32_t g, const TMeshGroup& group,
                    const TBodOutput& out, TContext& ctx) {
  const std::string numbers = TwoDigits(n) + "_" + TwoDigits(g);
  TOutputFile file(out.Guard, out.BodBaseName + "_" + numbers + out.MeshExt, kBodBufSize);
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
  TCountText pos;
  for (const TTriRec& tri : part.TriList) {
    WritePolygon(s, tri, pos);
    pos.Next();
  }
  WriteText(s, kEndOfBody);
  file.Commit();

  // The log names only files that were written in full.
  WriteLog(ctx, groupText);
  return file.FinalName();
}

}  // namespace bw
