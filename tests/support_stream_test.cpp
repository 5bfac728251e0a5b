#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "support/buf_stream.h"
#include "support/errors.h"
#include "test_support.h"

using namespace bw;
using bwtest::TTempDir;

namespace {

std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 31 + seed) ^ (i >> 8));
  return v;
}

uintmax_t DiskSize(const std::string& path) { return std::filesystem::file_size(path); }

template <class E>
std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "<no failure>";
}

}  // namespace

TEST(BufStream, WritesReachTheFileBlockByBlock) {
  TTempDir dir;
  const auto path = dir.File("out.bin");
  const auto data = Pattern(20000);
  {
    TBufStream s(path, ModeCreate, kBufSize);
    EXPECT_EQ(DiskSize(path), 0u);  // created at once, empty
    EXPECT_EQ(s.Write(data.data(), 8192), 8192);
    EXPECT_EQ(DiskSize(path), 0u);  // a full block still fits the buffer
    EXPECT_EQ(s.GetFileSize(), 8192);
    EXPECT_EQ(s.Write(data.data() + 8192, 1), 1);
    EXPECT_EQ(DiskSize(path), 8192u);
    EXPECT_EQ(s.GetFileSize(), 8193);
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), std::vector<uint8_t>(data.begin(), data.begin() + 8193));

  {
    TBufStream s(path, ModeCreate, kBufSize);
    EXPECT_EQ(DiskSize(path), 0u);  // creating over an existing file empties it
    EXPECT_EQ(s.Write(data.data(), 100), 100);
    EXPECT_EQ(s.GetFileSize(), 100);
    EXPECT_EQ(s.Write(data.data() + 100, 19900), 19900);
    EXPECT_EQ(DiskSize(path), 16384u);
    EXPECT_TRUE(s.Close());
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), data);

  { TBufStream s(path, ModeCreate, kBufSize); }
  EXPECT_EQ(DiskSize(path), 0u);
}

TEST(BufStream, ReadsWholeFilesAndStopsAtTheEnd) {
  TTempDir dir;
  const auto path = dir.File("in.bin");
  const auto data = Pattern(20000, 7);
  bwtest::WriteFileBytes(path, data);
  {
    TBufStream s(path, ModeRead, kBufSize);
    EXPECT_EQ(s.GetFileSize(), 20000);
    std::vector<uint8_t> got(20000);
    EXPECT_EQ(s.Read(got.data(), 20000), 20000);
    EXPECT_EQ(got, data);
    EXPECT_EQ(s.Read(got.data(), 10), 0);
  }
  {
    // Small reads crossing block boundaries, then a read asking for more
    // than is left.
    TBufStream s(path, ModeRead, kBufSize);
    std::vector<uint8_t> got(20000);
    EXPECT_EQ(s.Read(got.data(), 8000), 8000);
    EXPECT_EQ(s.Read(got.data() + 8000, 500), 500);
    EXPECT_EQ(s.Read(got.data() + 8500, 9000), 9000);
    EXPECT_EQ(s.Read(got.data() + 17500, 5000), 2500);
    EXPECT_EQ(got, data);
    EXPECT_EQ(s.Read(got.data(), 1), 0);
  }
  const auto empty = dir.File("empty.bin");
  bwtest::WriteFileBytes(empty, {});
  TBufStream s(empty, ModeRead, kBufSize);
  uint8_t b = 0;
  EXPECT_EQ(s.GetFileSize(), 0);
  EXPECT_EQ(s.Read(&b, 0), 0);
  EXPECT_EQ(s.Read(&b, 1), 0);
}

TEST(BufStream, SeekMovesWithinAndBeyondTheBuffer) {
  TTempDir dir;
  const auto path = dir.File("seek.bin");
  auto data = Pattern(20000, 3);
  {
    TBufStream s(path, ModeCreate, kBufSize);
    s.Write(data.data(), 20000);
    EXPECT_EQ(s.Seek(100, 0), 100);  // back into a block already written out
    const uint8_t patch[2] = {0xAA, 0xBB};
    s.Write(patch, 2);
    data[100] = 0xAA;
    data[101] = 0xBB;
    EXPECT_EQ(s.Seek(-200, 1), 0);  // clamped at the start
    uint8_t first = 0;
    EXPECT_EQ(s.Read(&first, 1), 1);
    EXPECT_EQ(first, data[0]);
    EXPECT_EQ(s.Seek(0, 2), 20000);
    const uint8_t tail[3] = {1, 2, 3};
    s.Write(tail, 3);
    data.insert(data.end(), tail, tail + 3);
    // The end counts bytes that are only in the buffer.
    EXPECT_EQ(s.Seek(0, 2), 20003);
    EXPECT_EQ(s.Seek(-3, 2), 20000);
    uint8_t back[3] = {};
    EXPECT_EQ(s.Read(back, 3), 3);
    EXPECT_EQ(back[2], 3);
    EXPECT_THROW(s.Seek(-1, 0), ERangeError);
    EXPECT_THROW(s.Seek(std::numeric_limits<int32_t>::max(), 2), ERangeError);
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), data);
}

TEST(BufStream, RefusesToGrowPastTwoGigabytes) {
  TTempDir dir;
  const auto path = dir.File("big.bin");
  {
    TBufStream s(path, ModeCreate, kBufSize);
    const int32_t nearEnd = std::numeric_limits<int32_t>::max() - 10;
    EXPECT_EQ(s.Seek(nearEnd, 0), nearEnd);
    const auto data = Pattern(20);
    EXPECT_THROW(s.Write(data.data(), 20), ERangeError);
  }
  EXPECT_EQ(DiskSize(path), 0u);
}

TEST(BufStream, ReportsFilesThatCannotBeOpenedOrCreated) {
  TTempDir dir;
  const auto missing = dir.File("missing.bin");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TBufStream s(missing, ModeRead, kBufSize); }),
            "Cannot open file \"" + missing + "\". No such file or directory.");
  const auto noFolder = dir.File("nofolder/out.bin");
  EXPECT_EQ(MessageOf<EFCreateError>([&] { TBufStream s(noFolder, ModeCreate, kBufSize); }),
            "Cannot create file \"" + noFolder + "\". No such file or directory.");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TBufStream s(dir.Path().string(), ModeRead, kBufSize); }),
            "Cannot open file \"" + dir.Path().string() + "\". Is a directory.");

  // No sharing: a file being written cannot be opened again, and is not
  // emptied by the refused second creation.
  const auto busy = dir.File("busy.bin");
  TBufStream writer(busy, ModeCreate, kBufSize);
  const auto data = Pattern(9000);
  writer.Write(data.data(), 9000);
  EXPECT_EQ(MessageOf<EFCreateError>([&] { TBufStream s(busy, ModeCreate, kBufSize); }),
            "Cannot create file \"" + busy + "\". The file is in use by another program.");
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TBufStream s(busy, ModeRead, kBufSize); }),
            "Cannot open file \"" + busy + "\". The file is in use by another program.");
  EXPECT_EQ(DiskSize(busy), 8192u);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(bwtest::ReadFileBytes(busy), data);
  // Readers share with each other.
  TBufStream r1(busy, ModeRead, kBufSize);
  EXPECT_NO_THROW(TBufStream(busy, ModeRead, kBufSize));
}

TEST(BufStream, CloseReportsBytesTheSystemRefused) {
  TTempDir dir;
  const auto path = dir.File("limited.bin");
  // A file size limit in a child process makes the system refuse the
  // second block.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{8192, 8192};
    ::setrlimit(RLIMIT_FSIZE, &lim);
    int status = 1;
    try {
      TBufStream s(path, ModeCreate, kBufSize);
      const auto data = Pattern(10000);
      s.Write(data.data(), 10000);
      status = s.Close() ? 2 : 0;
    } catch (...) {
      status = 3;
    }
    ::_exit(status);
  }
  int status = -1;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
