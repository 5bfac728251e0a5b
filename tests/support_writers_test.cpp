#include <gtest/gtest.h>

#include <memory>

#include "support/buf_stream.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/writers.h"
#include "test_support.h"

using namespace bw;

TEST(Writers, WriteTextAddsNothingAndNullStreamsAreIgnored) {
  bwtest::TTempDir dir;
  TContext ctx;
  EXPECT_NO_THROW(WriteDbg(ctx, "lost\r\n"));
  EXPECT_NO_THROW(WriteLog(ctx, "lost\r\n"));
  auto dbg = std::make_unique<TBufStream>(dir.File("a.dbg"), ModeCreate, kBufSize);
  auto log = std::make_unique<TBufStream>(dir.File("a.log"), ModeCreate, kBufSize);
  ctx.DbgStream = dbg.get();
  ctx.LogStream = log.get();
  WriteDbg(ctx, "one\r\n");
  WriteDbg(ctx, "");
  WriteDbg(ctx, "two");
  WriteLog(ctx, "log line\r\n");
  dbg.reset();
  log.reset();
  EXPECT_EQ(bwtest::ReadFileText(dir.File("a.dbg")), "one\r\ntwo");
  EXPECT_EQ(bwtest::ReadFileText(dir.File("a.log")), "log line\r\n");
}

TEST(Writers, CheckIndexPassesInRangeAndReportsOutside) {
  bwtest::TTempDir dir;
  TContext ctx;
  auto dbg = std::make_unique<TBufStream>(dir.File("a.dbg"), ModeCreate, kBufSize);
  ctx.DbgStream = dbg.get();
  EXPECT_EQ(CheckIndex(ctx, 4, 0, 4), 4);
  EXPECT_EQ(CheckIndex(ctx, 0, 0, 4), 0);
  EXPECT_EQ(CheckIndex(ctx, -7, -7, -7), -7);
  try {
    CheckIndex(ctx, 5, 0, 4);
    ADD_FAILURE() << "no failure";
  } catch (const EIdxError& e) {
    EXPECT_STREQ(e.what(), "  Unknown format tables.");
  }
  EXPECT_THROW(CheckIndex(ctx, -1, 0, 4), EIdxError);
  EXPECT_THROW(CheckIndex(ctx, 0, 0, -1), EIdxError);  // an empty range
  ctx.DbgStream = nullptr;
  EXPECT_THROW(CheckIndex(ctx, 9, 0, 4), EIdxError);  // no line without Debug
  dbg.reset();
  EXPECT_EQ(bwtest::ReadFileText(dir.File("a.dbg")),
            "Error: bad index!  idx = 5;  min = 0;  max = 4\r\n"
            "Error: bad index!  idx = -1;  min = 0;  max = 4\r\n"
            "Error: bad index!  idx = 0;  min = 0;  max = -1\r\n");
}
