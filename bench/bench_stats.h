#pragma once
// The benchmark's arithmetic and its records: medians and spreads of the
// rounds, ratios of two runs taken round by round, the JSON file a script
// reads, and two such files set side by side.

#include <string>
#include <vector>

namespace bwbench {

// A figure over the rounds: their median, smallest and largest.
struct TSpread {
  double Median = 0;
  double Low = 0;
  double High = 0;
  size_t Rounds = 0;
};

TSpread SpreadOf(std::vector<double> values);

// The ratio of two runs measured in the same rounds: each round's a / b,
// then their spread. Two runs that follow each other meet about the same
// load, so their ratio round by round is steadier than a ratio of medians.
TSpread PairedRatio(const std::vector<double>& a, const std::vector<double>& b);

// One figure of one run of a scenario: "wall_s" of variant "png" of
// program "bodwright" in scenario "picture", say.
struct TRecord {
  std::string Scenario;
  std::string Variant;
  std::string Program;
  std::string Figure;
  TSpread Value;
};

// What the figures were measured on.
struct TMachine {
  unsigned Processors = 0;
  double MemoryGB = 0;
  std::string Processor;    // its model name
  std::string LoadAtStart;  // the load average's three figures
  std::string LoadAtEnd;
  std::string Date;  // UTC, ISO 8601
};

inline constexpr int kSchemaVersion = 1;

// The results file: {"schema": 1, "machine": {...}, "records": [...]},
// one record a line.
std::string JsonText(const TMachine& machine, const std::vector<TRecord>& records);

// The records of a results file; throws when it holds none or another
// schema's.
std::vector<TRecord> ReadRecords(const std::string& json);

// Two runs' records side by side: the figures both have, a's median, b's,
// and b / a.
std::string CompareText(const std::vector<TRecord>& a, const std::vector<TRecord>& b);

// Text helpers of the tables.
std::string Fixed(double v, int decimals);
std::string Cell(std::string s, size_t width, bool left = false);

}  // namespace bwbench
