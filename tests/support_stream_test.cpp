#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/buf_stream.h"
#include "support/errors.h"
#include "test_support.h"

using namespace bw;

namespace {

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
  return v;
}

uintmax_t DiskSize(const std::string& path) {
  return std::filesystem::file_size(path);
}

}  // namespace

TEST(BufStream, WritesReachTheFileBlockByBlock) {
  bwtest::TTempDir dir;
  const auto path = dir.File("out.bin");
  const auto data = Pattern(20000);
  {
    TBufStream s(path, ModeCreate, kBufSize);
    EXPECT_EQ(DiskSize(path), 0u);  // created at once
    EXPECT_EQ(s.Write(data.data(), 8192), 8192);
    EXPECT_EQ(DiskSize(path), 0u);  // a full block still fits the buffer
    EXPECT_EQ(s.Write(data.data() + 8192, 1), 1);
    EXPECT_EQ(DiskSize(path), 8192u);
    EXPECT_EQ(s.GetFileSize(), 8193);
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), std::vector<uint8_t>(data.begin(), data.begin() + 8193));
  {
    TBufStream s(path, ModeCreate, kBufSize);
    EXPECT_EQ(DiskSize(path), 0u);  // creating over an existing file empties it
    s.Write(data.data(), 100);
    EXPECT_EQ(s.GetFileSize(), 100);
    EXPECT_EQ(s.Write(data.data() + 100, 19900), 19900);
    EXPECT_TRUE(s.Close());
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), data);
}

TEST(BufStream, ReadsAcrossBlocksAndStopsAtTheEnd) {
  bwtest::TTempDir dir;
  const auto path = dir.File("in.bin");
  const auto data = Pattern(20000);
  bwtest::WriteFileBytes(path, data);
  TBufStream s(path, ModeRead, kBufSize);
  EXPECT_EQ(s.GetFileSize(), 20000);
  std::vector<uint8_t> got(20000);
  EXPECT_EQ(s.Read(got.data(), 8000), 8000);
  EXPECT_EQ(s.Read(got.data() + 8000, 9500), 9500);
  EXPECT_EQ(s.Read(got.data() + 17500, 5000), 2500);
  EXPECT_EQ(got, data);
  EXPECT_EQ(s.Read(got.data(), 1), 0);
  EXPECT_EQ(s.Seek(0, 0), 0);
  EXPECT_EQ(s.Read(got.data(), 20000), 20000);  // whole, as the input image is read
  EXPECT_EQ(got, data);
}

TEST(BufStream, SeekMovesWithinAndBeyondTheBuffer) {
  bwtest::TTempDir dir;
  const auto path = dir.File("seek.bin");
  auto data = Pattern(20000);
  {
    TBufStream s(path, ModeCreate, kBufSize);
    s.Write(data.data(), 20000);
    EXPECT_EQ(s.Seek(100, 0), 100);  // back into a block already written out
    const uint8_t patch[2] = {0xAA, 0xBB};
    s.Write(patch, 2);
    data[100] = 0xAA;
    data[101] = 0xBB;
    EXPECT_EQ(s.Seek(-200, 1), 0);
    EXPECT_EQ(s.Seek(0, 2), 20000);
    const uint8_t tail[3] = {1, 2, 3};
    s.Write(tail, 3);
    data.insert(data.end(), tail, tail + 3);
    EXPECT_EQ(s.Seek(0, 2), 20003);  // the end counts bytes still in the buffer
    EXPECT_THROW(s.Seek(-1, 0), ERangeError);
    // Offsets are 32-bit: nothing is written past 2 GB less one byte.
    EXPECT_EQ(s.Seek(std::numeric_limits<int32_t>::max() - 10, 0), std::numeric_limits<int32_t>::max() - 10);
    EXPECT_THROW(s.Write(data.data(), 20), ERangeError);
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), data);
}

TEST(BufStream, ReportsFilesThatCannotBeOpenedOrCreated) {
  bwtest::TTempDir dir;
  const auto expectFailure = [](const std::string& path, uint16_t mode, const std::string& message) {
    try {
      TBufStream s(path, mode, kBufSize);
      ADD_FAILURE() << "opened " << path;
    } catch (const std::exception& e) {
      EXPECT_EQ(e.what(), message);
      EXPECT_EQ(mode == ModeCreate, dynamic_cast<const EFCreateError*>(&e) != nullptr);
    }
  };
  const auto missing = dir.File("missing.bin");
  expectFailure(missing, ModeRead, "Cannot open file \"" + missing + "\". " + bwtest::SystemReasons().NoFile);
  const auto noFolder = dir.File("nofolder/out.bin");
  expectFailure(noFolder, ModeCreate,
                "Cannot create file \"" + noFolder + "\". " + bwtest::SystemReasons().NoFolder);
  const auto folder = dir.Path().string();
  expectFailure(folder, ModeRead, "Cannot open file \"" + folder + "\". " + bwtest::SystemReasons().IsFolder);

  // No sharing: a file being written cannot be opened again, and a refused
  // second creation does not empty it.
  const auto busy = dir.File("busy.bin");
  const auto data = Pattern(9000);
  TBufStream writer(busy, ModeCreate, kBufSize);
  writer.Write(data.data(), 9000);
  expectFailure(busy, ModeCreate, "Cannot create file \"" + busy + "\". " + bwtest::SystemReasons().InUse);
  expectFailure(busy, ModeRead, "Cannot open file \"" + busy + "\". " + bwtest::SystemReasons().InUse);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(bwtest::ReadFileBytes(busy), data);
  TBufStream reader(busy, ModeRead, kBufSize);
  EXPECT_NO_THROW(TBufStream(busy, ModeRead, kBufSize));  // readers share
}

TEST(BufStream, TextBuiltInPlaceMatchesWrites) {
  // Lines built in the buffer's room, mixed with plain writes, across block
  // ends and over bytes already written out after a seek back: the file is
  // what writing the same bytes would make.
  bwtest::TTempDir dir;
  const auto path = dir.File("room.bin");
  std::vector<uint8_t> want;
  {
    TBufStream s(path, ModeCreate, kBufSize);
    for (int i = 0; i < 3000; ++i) {
      const std::string line = std::to_string(i * 7919) + ";\r\n";
      if (i % 3 == 0) {
        s.Write(line.data(), static_cast<int32_t>(line.size()));
      } else {
        char* room = s.WriteRoom(64);
        std::memcpy(room, line.data(), line.size());
        s.Written(static_cast<int32_t>(line.size()));
      }
      want.insert(want.end(), line.begin(), line.end());
    }
    EXPECT_EQ(s.Seek(100, 0), 100);
    std::memcpy(s.WriteRoom(kBufSize), "XY", 2);
    s.Written(2);
    want[100] = 'X';
    want[101] = 'Y';
    EXPECT_EQ(s.Seek(0, 2), static_cast<int32_t>(want.size()));
    std::memcpy(s.WriteRoom(3), "end", 3);
    s.Written(3);
    want.insert(want.end(), {'e', 'n', 'd'});
    EXPECT_TRUE(s.Close());
  }
  EXPECT_EQ(bwtest::ReadFileBytes(path), want);
}
