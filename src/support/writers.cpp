#include "support/writers.h"

#include <limits>

#include "support/buf_stream.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/text_helpers.h"

namespace bw {

void WriteText(TBufStream& stream, std::string_view s) {
  if (s.empty()) return;
  if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    RaiseRange("text larger than 2 GB");
  stream.Write(s.data(), static_cast<int32_t>(s.size()));
}

// The stream pointers are null while their output is switched off; a write
// then goes nowhere instead of crashing on a caller's slip.
void WriteDbg(TContext& ctx, std::string_view s) {
  if (ctx.DbgStream) WriteText(*ctx.DbgStream, s);
}

void WriteLog(TContext& ctx, std::string_view s) {
  if (ctx.LogStream) WriteText(*ctx.LogStream, s);
}

int32_t CheckIndex(TContext& ctx, int32_t idx, int32_t min, int32_t max) {
  if (min <= idx && idx <= max) return idx;
  if (ctx.DebugOn())
    WriteDbg(ctx, "Error: bad index!  idx = " + IntText(idx) + ";  min = " + IntText(min) +
                      ";  max = " + IntText(max) + "\r\n");
  throw EIdxError();
}

}  // namespace bw
