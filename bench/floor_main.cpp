// The physical floor of a conversion: what any program that reads the same
// input and writes the same files must pay. It reads the input whole, then
// writes each listed file (under a temporary name, renamed when complete)
// with as many bytes as listed, through 8 KB writes.
//
//   bodwright_floor INPUT LIST
//       LIST: one file per line, "<size> <path>", in the order to write them

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlock = 8192;

bool ReadWhole(const char* path, std::vector<char>& bytes) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ::lseek(fd, 0, SEEK_SET);
  bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  return done == bytes.size();
}

bool WriteFile(const std::string& path, size_t size, const char* block) {
  const std::string temp = path + ".~floor.tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    const size_t n = size - done < kBlock ? size - done : kBlock;
    ok = ::write(fd, block, n) == static_cast<ssize_t>(n);
    done += n;
  }
  ok = ::close(fd) == 0 && ok;
  return ok && ::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("use: bodwright_floor INPUT LIST\n", stderr);
    return 2;
  }
  std::vector<char> input;
  if (!ReadWhole(argv[1], input)) return 1;
  std::FILE* list = std::fopen(argv[2], "r");
  if (!list) return 1;
  // The bytes written: the start of the input, which the floor has at hand
  // as a converter has its text.
  std::vector<char> block(kBlock, ' ');
  for (size_t i = 0; i < kBlock && i < input.size(); ++i) block[i] = input[i];
  unsigned long long size = 0;
  char path[4096];
  int status = 0;
  while (std::fscanf(list, "%llu %4095[^\n]", &size, path) == 2)
    if (!WriteFile(path, static_cast<size_t>(size), block.data())) status = 1;
  std::fclose(list);
  return status;
}
