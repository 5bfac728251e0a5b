#include "bench_stats.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

namespace bwbench {

TSpread SpreadOf(std::vector<double> v) {
  TSpread s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  s.Median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  s.Low = v.front();
  s.High = v.back();
  s.Rounds = n;
  return s;
}

TSpread PairedRatio(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> ratios;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (b[i] > 0) ratios.push_back(a[i] / b[i]);
  return SpreadOf(std::move(ratios));
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, res.ptr);
}

std::string Cell(std::string s, size_t width, bool left) {
  if (s.size() < width) s.insert(left ? s.end() : s.begin(), width - s.size(), ' ');
  return s;
}

namespace {

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Number(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

void SkipBlank(const std::string& s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
}

bool ReadString(const std::string& s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  out.clear();
  for (++i; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return i++ < s.size();
}

// An object of strings and numbers at s[i] == '{'; false when it holds
// anything else (the file's outer object, say), i left where it stopped.
bool ReadFlat(const std::string& s, size_t& i, std::map<std::string, std::string>& texts,
              std::map<std::string, double>& numbers) {
  ++i;
  for (;;) {
    SkipBlank(s, i);
    std::string key, text;
    if (!ReadString(s, i, key)) return false;
    SkipBlank(s, i);
    if (i >= s.size() || s[i++] != ':') return false;
    SkipBlank(s, i);
    if (ReadString(s, i, text)) {
      texts[key] = text;
    } else {
      double v = 0;
      const auto res = std::from_chars(s.data() + i, s.data() + s.size(), v);
      if (res.ec != std::errc()) return false;
      numbers[key] = v;
      i = static_cast<size_t>(res.ptr - s.data());
    }
    SkipBlank(s, i);
    if (i < s.size() && s[i] == '}') return ++i, true;
    if (i >= s.size() || s[i++] != ',') return false;
  }
}

}  // namespace

std::string JsonText(const TMachine& m, const std::vector<TRecord>& records) {
  std::string out = "{\"schema\": " + std::to_string(kSchemaVersion) +
                    ",\n \"machine\": {\"processors\": " + std::to_string(m.Processors) +
                    ", \"memory_gb\": " + Number(m.MemoryGB) + ", \"processor\": " + Quoted(m.Processor) +
                    ", \"load_at_start\": " + Quoted(m.LoadAtStart) +
                    ", \"load_at_end\": " + Quoted(m.LoadAtEnd) + ", \"date\": " + Quoted(m.Date) +
                    "},\n \"records\": [\n";
  for (size_t i = 0; i < records.size(); ++i) {
    const TRecord& r = records[i];
    out += "{\"scenario\": " + Quoted(r.Scenario) + ", \"variant\": " + Quoted(r.Variant) +
           ", \"program\": " + Quoted(r.Program) + ", \"figure\": " + Quoted(r.Figure) +
           ", \"median\": " + Number(r.Value.Median) + ", \"low\": " + Number(r.Value.Low) +
           ", \"high\": " + Number(r.Value.High) + ", \"rounds\": " + std::to_string(r.Value.Rounds) + "}" +
           (i + 1 < records.size() ? ",\n" : "\n");
  }
  return out + "]}\n";
}

std::vector<TRecord> ReadRecords(const std::string& json) {
  size_t at = json.find("\"schema\"");
  if (at == std::string::npos || json.find(':', at) == std::string::npos)
    throw std::runtime_error("not a results file: no schema");
  at = json.find(':', at) + 1;
  SkipBlank(json, at);
  int schema = 0;
  std::from_chars(json.data() + at, json.data() + json.size(), schema);
  if (schema != kSchemaVersion)
    throw std::runtime_error("results of schema " + std::to_string(schema) + ", this program reads " +
                             std::to_string(kSchemaVersion));
  std::vector<TRecord> records;
  for (size_t i = json.find('{', 1); i != std::string::npos; i = json.find('{', i)) {
    std::map<std::string, std::string> texts;
    std::map<std::string, double> numbers;
    if (!ReadFlat(json, i, texts, numbers) || !texts.count("figure")) continue;
    TRecord r{texts["scenario"], texts["variant"], texts["program"], texts["figure"], {}};
    r.Value = {numbers["median"], numbers["low"], numbers["high"], static_cast<size_t>(numbers["rounds"])};
    records.push_back(std::move(r));
  }
  if (records.empty()) throw std::runtime_error("not a results file: no records");
  return records;
}

std::string CompareText(const std::vector<TRecord>& a, const std::vector<TRecord>& b) {
  auto key = [](const TRecord& r) { return r.Scenario + "|" + r.Variant + "|" + r.Program + "|" + r.Figure; };
  std::map<std::string, const TRecord*> inB;
  for (const TRecord& r : b) inB[key(r)] = &r;
  std::string out = Cell("scenario", 18, true) + Cell("variant", 24, true) + Cell("program", 12, true) +
                    Cell("figure", 14, true) + Cell("A", 11) + Cell("B", 11) + Cell("B/A", 7) + "\n";
  size_t missing = 0;
  for (const TRecord& r : a) {
    const auto other = inB.find(key(r));
    if (other == inB.end()) {
      ++missing;
      continue;
    }
    const double x = r.Value.Median, y = other->second->Value.Median;
    out += Cell(r.Scenario, 18, true) + Cell(r.Variant, 24, true) + Cell(r.Program, 12, true) +
           Cell(r.Figure, 14, true) + Cell(Fixed(x, 4), 11) + Cell(Fixed(y, 4), 11) +
           Cell(x != 0 ? Fixed(y / x, 2) : "-", 7) + "\n";
    inB.erase(other);
  }
  if (missing + inB.size() > 0)
    out += std::to_string(missing) + " figures only in A, " + std::to_string(inB.size()) + " only in B\n";
  return out;
}

}  // namespace bwbench
