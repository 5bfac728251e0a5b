// The bundled sample, damaged: cut at every length and changed byte by byte
// in a fixed set of ways. Each conversion, with every output on, must end
// normally or with the fixed failure line and status 1, and must leave no
// partial file under a final name and no temporary file.

#include <gtest/gtest.h>

#include <array>
#include <random>

#include "cmp_builder.h"
#include "driver/driver.h"
#include "support/context.h"
#include "driver/run_state.h"
#include "test_support.h"

using namespace bwtest;

namespace {

const fs::path kSourceDir = BODWRIGHT_SOURCE_DIR;
const std::string kDamage = "  Error! Unknown structure/format tables or file damage!";
const std::string kNoMesh = "  Error: this file havnt VMeshLibrary!";
const std::string kEndOfBody = "/Mark end of body\r\n";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string LastLine(const std::string& console) {
  const size_t end = console.empty() ? 0 : console.size() - 1;
  const size_t start = console.rfind('\n', end == 0 ? 0 : end - 1);
  return console.substr(start == std::string::npos ? 0 : start + 1,
                        end - (start == std::string::npos ? 0 : start + 1));
}

// One scratch folder for every case: the model is rewritten, the outputs
// are checked and removed, the material file and settings stay.
class TDamageRunner {
 public:
  TDamageRunner() {
    fs::create_directory(FDir.Path() / "prog");
    // Every output on, the texture images and the model's own materials
    // too, and a second material file.
    WriteFileText((FDir.Path() / "prog" / "bodwright.ini").string(),
                  std::string(kAllOnIni) + "ModelMat=ON\r\nTextures=ON\r\n");
    fs::copy_file(kSourceDir / "examples" / "sample.mat", FDir.Path() / "sample.mat");
    fs::copy_file(kSourceDir / "examples" / "sample.mat", FDir.Path() / "shared.mat");
  }

  // "" when the case passes, else what went wrong.
  std::string Check(const Bytes& model) {
    WriteFileBytes(FDir.File("sample.cmp"), model);
    std::string console;
    int status;
    {
      bw::TContext run;
      run.Console.Capture = &console;
      status = bw::RunProgram(run, (FDir.Path() / "prog" / "bodwright").string(),
                              {FDir.File("sample.cmp"), FDir.File("sample.mat"), FDir.File("shared.mat")});
    }
    std::string fault;
    const std::string last = LastLine(console);
    if (status == 1) {
      const bool emptyFile =
          model.empty() && last == "Cannot read file \"" + FDir.File("sample.cmp") + "\". The file is empty.";
      if (last != kDamage && last != kNoMesh && !emptyFile) fault = "status 1 ending with: " + last;
    } else if (status != 0) {
      fault = "status " + std::to_string(status);
    } else if (last == kDamage || last == kNoMesh) {
      fault = "status 0 after: " + last;
    }
    for (const auto& entry : fs::directory_iterator(FDir.Path())) {
      const std::string name = entry.path().filename().string();
      if (name == "prog" || name == "sample.cmp" || name == "sample.mat" || name == "shared.mat") continue;
      const fs::path ext = entry.path().extension();
      if (fault.empty() && (ext == ".bod" || ext == ".txt") &&
          !EndsWith(ReadFileText(entry.path().string()), kEndOfBody))
        fault = name + " is not complete";
      const bool image = ext == ".dds" || ext == ".tga";
      if (fault.empty() && image && fs::file_size(entry.path()) == 0) fault = name + " is empty";
      if (fault.empty() && !image && ext != ".bod" && ext != ".txt" && ext != ".log" && ext != ".dbg")
        fault = name + " left behind";
      fs::remove(entry.path());
    }
    return fault.empty() ? "" : fault + "\n" + console;
  }

 private:
  TTempDir FDir;
};

Bytes Sample() {
  return ReadFileBytes((kSourceDir / "examples" / "sample.cmp").string());
}

// Cuts the sample at every length in [from, to).
void CheckCuts(size_t from, size_t to) {
  const Bytes sample = Sample();
  TDamageRunner runner;
  int failures = 0;
  for (size_t length = from; length < to && length < sample.size(); ++length) {
    const std::string fault =
        runner.Check(Bytes(sample.begin(), sample.begin() + static_cast<ptrdiff_t>(length)));
    if (!fault.empty() && ++failures <= 5) ADD_FAILURE() << "cut at " << length << ": " << fault;
  }
  EXPECT_EQ(failures, 0);
}

// Values that damaged counts, sizes and offsets tend to take.
constexpr std::array<uint32_t, 12> kWords = {0,          1,          0x7FFFFFFF, 0x80000000,
                                             0xFFFFFFFF, 0xFFFF,     0x10000,    0xFFFFFFFE,
                                             0x7FFFFFF0, 0x00100000, 0x7F800000, 0x7FC00000};

// `count` mutations of the sample, drawn from a fixed seed with only the
// generator's raw output, so that they are the same cases everywhere. Even
// kinds change one byte (any value, or one bit); odd kinds set an aligned
// word to a telling value or change two to eight bytes anywhere.
void CheckMutations(uint32_t seed, int count, bool singleBytes) {
  const Bytes sample = Sample();
  TDamageRunner runner;
  std::mt19937 random(seed);
  auto below = [&](size_t n) { return static_cast<size_t>(random() % n); };
  int failures = 0;
  for (int n = 0; n < count; ++n) {
    Bytes model = sample;
    std::string what;
    const bool second = n % 2 == 1;
    if (singleBytes && !second) {
      const size_t at = below(model.size());
      model[at] = static_cast<uint8_t>(random());
      what = "byte at " + std::to_string(at);
    } else if (singleBytes) {
      const size_t at = below(model.size());
      model[at] ^= static_cast<uint8_t>(1u << below(8));
      what = "bit at " + std::to_string(at);
    } else if (!second) {
      const size_t at = 4 * below(model.size() / 4);
      const uint32_t v = kWords[below(kWords.size())];
      for (size_t k = 0; k < 4; ++k) model[at + k] = static_cast<uint8_t>(v >> (8 * k));
      what = "word at " + std::to_string(at);
    } else {
      const size_t bytes = 2 + below(7);
      for (size_t k = 0; k < bytes; ++k) model[below(model.size())] = static_cast<uint8_t>(random());
      what = std::to_string(bytes) + " bytes";
    }
    const std::string fault = runner.Check(model);
    if (!fault.empty() && ++failures <= 5) ADD_FAILURE() << "case " << n << " (" << what << "): " << fault;
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace

// Four tests of about equal cost, so that parallel runs share them out.
TEST(DamagedSample, CutInItsFirstHalf) {
  CheckCuts(0, Sample().size() / 2);
  TDamageRunner runner;
  EXPECT_EQ(runner.Check(Sample()), "");
}

TEST(DamagedSample, CutInItsSecondHalf) {
  CheckCuts(Sample().size() / 2, Sample().size());
}

TEST(DamagedSample, SingleByteMutations) {
  CheckMutations(20240611u, 1500, true);
}

TEST(DamagedSample, WordAndMultiByteMutations) {
  CheckMutations(20240612u, 1500, false);
}
