#pragma once
// The writers of the program's text files and the index check. Callers put
// the CR LF line ends into the text themselves; the writers add nothing.

#include <cstdint>
#include <string_view>

namespace bw {

class TBufStream;
struct TContext;

void WriteText(TBufStream& stream, std::string_view s);
void WriteDbg(TContext& ctx, std::string_view s);  // the diagnostics file
void WriteLog(TContext& ctx, std::string_view s);  // the log file
inline void WriteBod(TBufStream& bodStream, std::string_view s) {
  WriteText(bodStream, s);
}
inline void WriteMesh(TBufStream& meshStream, std::string_view s) {
  WriteText(meshStream, s);
}

// Returns idx when min <= idx <= max; otherwise writes the "bad index" line
// to the diagnostics file (when Debug is on) and raises EIdxError.
int32_t CheckIndex(TContext& ctx, int32_t idx, int32_t min, int32_t max);

}  // namespace bw
