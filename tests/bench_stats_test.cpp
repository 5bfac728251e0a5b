// The benchmark's arithmetic and records on made-up timings, and one of its
// scenarios run end to end on the bundled sample.

#include "bench_stats.h"
#ifdef BODWRIGHT_BENCH_EXE
#include "bench_runner.h"
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace bwbench;

TEST(BenchStats, MediansSpreadsAndRatiosRoundByRound) {
  struct TCase {
    std::vector<double> Values;
    TSpread Want;
  };
  const TCase cases[] = {
      {{}, {0, 0, 0, 0}},
      {{3}, {3, 3, 3, 1}},
      {{5, 1, 3}, {3, 1, 5, 3}},
      {{4, 1, 3, 2}, {2.5, 1, 4, 4}},
  };
  for (const TCase& c : cases) {
    const TSpread s = SpreadOf(c.Values);
    EXPECT_EQ(s.Median, c.Want.Median);
    EXPECT_EQ(s.Low, c.Want.Low);
    EXPECT_EQ(s.High, c.Want.High);
    EXPECT_EQ(s.Rounds, c.Want.Rounds);
  }
  // A round slowed by the machine slows both runs of it: the ratio round by
  // round stays, where the ratio of the medians would not.
  const TSpread r = PairedRatio({2, 4, 2.2}, {1, 2, 1});
  EXPECT_DOUBLE_EQ(r.Median, 2.0);
  EXPECT_DOUBLE_EQ(r.High, 2.2);
  EXPECT_EQ(r.Rounds, 3u);
  // Rounds of another length or a zero time are left out.
  EXPECT_EQ(PairedRatio({1, 2, 3}, {1, 0}).Rounds, 1u);
}

TEST(BenchStats, RecordsSurviveTheFileAndCompareSideBySide) {
  TMachine m;
  m.Processors = 2;
  m.Processor = "a \"quoted\" \\ name";
  const std::vector<TRecord> a = {{"picture", "png", "bodwright", "wall_s", {0.25, 0.2, 0.3, 5}},
                                  {"picture", "png / bod", "bodwright", "wall_ratio", {2.5, 2.25, 3, 5}},
                                  {"mod", "each", "old", "peak_mb", {11.5, 11, 12, 3}}};
  const std::vector<TRecord> back = ReadRecords(JsonText(m, a));
  ASSERT_EQ(back.size(), a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(back[i].Scenario, a[i].Scenario);
    EXPECT_EQ(back[i].Variant, a[i].Variant);
    EXPECT_EQ(back[i].Program, a[i].Program);
    EXPECT_EQ(back[i].Figure, a[i].Figure);
    EXPECT_EQ(back[i].Value.Median, a[i].Value.Median);
    EXPECT_EQ(back[i].Value.Low, a[i].Value.Low);
    EXPECT_EQ(back[i].Value.High, a[i].Value.High);
    EXPECT_EQ(back[i].Value.Rounds, a[i].Value.Rounds);
  }

  std::vector<TRecord> b = {a[1], a[0]};
  b[1].Value.Median = 0.5;
  const std::string text = CompareText(a, b);
  EXPECT_NE(text.find("0.2500     0.5000   2.00"), std::string::npos) << text;
  EXPECT_NE(text.find("2.5000     2.5000   1.00"), std::string::npos) << text;
  EXPECT_NE(text.find("1 figures only in A, 0 only in B"), std::string::npos) << text;

  for (const char* bad : {"", "{\"schema\": 2, \"records\": []}", "{\"schema\": 1, \"records\": []}"})
    EXPECT_THROW(ReadRecords(bad), std::runtime_error) << bad;
}

#ifdef BODWRIGHT_BENCH_EXE

TEST(BenchRunner, SettingsFilePutsEachLineInPlaceOfItsKey) {
  struct TCase {
    const char* Base;
    const char* Lines;
    const char* Want;
  };
  const TCase cases[] = {
      {"[system]\r\nJobs=0\r\nPreview=.svg, ON\r\n", "Jobs=1", "[system]\r\nJobs=1\r\nPreview=.svg, ON\r\n"},
      // A key the base lacks is added; the file is written with CR LF.
      {"[system]\nJobs=0\n", "Preview=.png, ON\nJobs=2", "[system]\r\nJobs=2\r\nPreview=.png, ON\r\n"},
      // Neither a comment nor a longer key is the key's line.
      {"[system]\r\n;Jobs=0\r\nJobsMax=3\r\n", "Jobs=1", "[system]\r\n;Jobs=0\r\nJobsMax=3\r\nJobs=1\r\n"},
      {"[system]\r\nGenBod=.bod, ON\r\n", "", "[system]\r\nGenBod=.bod, ON\r\n"},
  };
  for (const TCase& c : cases) EXPECT_EQ(SettingsText(c.Base, c.Lines), c.Want) << c.Lines;
}

TEST(BenchRunner, TheFloorWritesWhatTheRunWroteAndClearingKeepsTheInputs) {
  const fs::path dir =
      fs::temp_directory_path() /
      ("bench-floor-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  const fs::path in = dir / "in";
  fs::create_directories(in / "sub");
  WriteFile(in / "model.cmp", std::string(100, 'm'));
  WriteFile(in / "sub" / "a.bod", std::string(3000, 'b'));
  WriteFile(in / "b.png", std::string(20000, 'p'));
  const std::string model = (in / "model.cmp").string();

  const TOutputs out = ClearOutputs(in, {model}, dir / "floor.list", {model});
  EXPECT_EQ(out.Files, 2u);
  EXPECT_EQ(out.Bytes, 23000u);
  EXPECT_TRUE(fs::exists(model));
  EXPECT_FALSE(fs::exists(in / "sub" / "a.bod"));

  ASSERT_EQ(WriteFloor(dir / "floor.list"), 0);
  EXPECT_EQ(fs::file_size(in / "sub" / "a.bod"), 3000u);
  EXPECT_EQ(fs::file_size(in / "b.png"), 20000u);
  EXPECT_EQ(ClearOutputs(in, {model}).Files, 2u);  // and no temporary file beside them

  // An input that cannot be read fails the floor.
  WriteFile(dir / "bad.list", "r " + (in / "gone.cmp").string() + "\n");
  EXPECT_NE(WriteFloor(dir / "bad.list"), 0);
  fs::remove_all(dir);
}

TEST(BenchProgram, TheSampleScenarioEndToEnd) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("bench-e2e-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string bench = BODWRIGHT_BENCH_EXE;
  const std::string json = (dir / "run.json").string();
  ASSERT_EQ(std::system((bench + " --only sample --rounds 2 --dir " + (dir / "work").string() + " --json " +
                         json + " > " + (dir / "table.txt").string())
                            .c_str()),
            0)
      << ReadFile(dir / "table.txt");
  const std::vector<TRecord> records = ReadRecords(ReadFile(json));
  auto figure = [&](const std::string& variant, const std::string& name) {
    for (const TRecord& r : records)
      if (r.Variant == variant && r.Figure == name) return r.Value;
    ADD_FAILURE() << "no " << name << " of " << variant;
    return TSpread{};
  };
  EXPECT_EQ(figure("installed", "wall_s").Rounds, 2u);
  EXPECT_GT(figure("installed", "wall_s").Median, 0);
  EXPECT_GT(figure("installed", "peak_mb").Median, 0);
  // The floor writes what the converter wrote: as many files, as many bytes.
  EXPECT_GT(figure("installed", "out_files").Median, 2);
  EXPECT_EQ(figure("floor installed", "out_files").Median, figure("installed", "out_files").Median);
  EXPECT_EQ(figure("floor installed", "out_mb").Median, figure("installed", "out_mb").Median);
  EXPECT_GT(figure("png / installed", "wall_ratio").Median, 0);
  EXPECT_NE(ReadFile(dir / "table.txt").find("installed / floor installed"), std::string::npos);
  // The scenario's folder is gone; a comparison of the run with itself says 1.00 throughout.
  EXPECT_FALSE(std::filesystem::exists(dir / "work" / "sample"));
  const std::string compared = (dir / "compare.txt").string();
  ASSERT_EQ(std::system((bench + " --compare " + json + " " + json + " > " + compared).c_str()), 0);
  EXPECT_EQ(ReadFile(compared).find("only in"), std::string::npos);
  std::filesystem::remove_all(dir);
}
#endif

}  // namespace
