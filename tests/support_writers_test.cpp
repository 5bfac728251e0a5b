#include <gtest/gtest.h>

#include <memory>

#include "driver/run_state.h"
#include "support/errors.h"
#include "support/writers.h"
#include "test_support.h"

using namespace bw;

TEST(Writers, WriteTextAddsNothingAndNullStreamsAreIgnored) {
  bwtest::TTempDir dir;
  TRun run;
  EXPECT_NO_THROW(WriteDbg(run, "lost\r\n"));
  EXPECT_NO_THROW(WriteLog(run, "lost\r\n"));
  run.DbgStream = std::make_unique<TBufStream>(dir.File("a.dbg"), ModeCreate, kBufSize);
  run.LogStream = std::make_unique<TBufStream>(dir.File("a.log"), ModeCreate, kBufSize);
  WriteDbg(run, "one\r\n");
  WriteDbg(run, "");
  WriteDbg(run, "two");
  WriteLog(run, "log line\r\n");
  run.DbgStream.reset();
  run.LogStream.reset();
  EXPECT_EQ(bwtest::ReadFileText(dir.File("a.dbg")), "one\r\ntwo");
  EXPECT_EQ(bwtest::ReadFileText(dir.File("a.log")), "log line\r\n");
}

TEST(Writers, CheckIndexPassesInRangeAndReportsOutside) {
  bwtest::TTempDir dir;
  TRun run;
  run.Settings.DebugOn = true;
  run.DbgStream = std::make_unique<TBufStream>(dir.File("a.dbg"), ModeCreate, kBufSize);
  EXPECT_EQ(CheckIndex(run, 4, 0, 4), 4);
  EXPECT_EQ(CheckIndex(run, 0, 0, 4), 0);
  EXPECT_EQ(CheckIndex(run, -7, -7, -7), -7);
  try {
    CheckIndex(run, 5, 0, 4);
    ADD_FAILURE() << "no failure";
  } catch (const EIdxError& e) {
    EXPECT_STREQ(e.what(), "  Unknown format tables.");
  }
  EXPECT_THROW(CheckIndex(run, -1, 0, 4), EIdxError);
  EXPECT_THROW(CheckIndex(run, 0, 0, -1), EIdxError);  // an empty range
  run.Settings.DebugOn = false;
  EXPECT_THROW(CheckIndex(run, 9, 0, 4), EIdxError);  // no line without Debug
  run.DbgStream.reset();
  EXPECT_EQ(bwtest::ReadFileText(dir.File("a.dbg")),
            "Error: bad index!  idx = 5;  min = 0;  max = 4\r\n"
            "Error: bad index!  idx = -1;  min = 0;  max = 4\r\n"
            "Error: bad index!  idx = 0;  min = 0;  max = -1\r\n");
}
