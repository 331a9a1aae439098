// baseline: the physical cost of reading a store's message headers.
//
//   baseline DIR
//
// Walks DIR and every directory below it and, for each file whose name ends
// in ".msg" (any letter case), opens it, reads it up to and including the
// first empty line, and closes it. Nothing is parsed or kept: whatever a job
// that reads every header spends beyond this is the program's own overhead.
// Prints the number of messages, header lines and header bytes read.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Totals {
  unsigned long messages = 0;
  unsigned long lines = 0;
  unsigned long long bytes = 0;
  unsigned long directories = 0;
  unsigned long failures = 0;
};

bool isMessageName(const char* name) {
  const size_t n = std::strlen(name);
  return n >= 4 && strcasecmp(name + n - 4, ".msg") == 0;
}

// Reads to the first empty line (a line feed right after a line feed, with an
// optional carriage return between).
void readHeader(const std::string& path, Totals& t) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    ++t.failures;
    return;
  }
  char buf[4096];
  size_t lineLength = 0;  // characters of the current line, carriage returns aside
  bool done = false;
  while (!done) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      const char c = buf[i];
      if (c == '\n') {
        ++t.lines;
        if (lineLength == 0) {
          t.bytes += static_cast<unsigned long long>(i + 1);
          done = true;
          break;
        }
        lineLength = 0;
      } else if (c != '\r') {
        ++lineLength;
      }
    }
    if (!done) t.bytes += static_cast<unsigned long long>(n);
  }
  ::close(fd);
  ++t.messages;
}

void walk(const std::string& dir, Totals& t) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) {
    ++t.failures;
    return;
  }
  ++t.directories;
  while (const dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string path = dir + "/" + e->d_name;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::lstat(path.c_str(), &st) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) walk(path, t);
    else if (type == DT_REG && isMessageName(e->d_name)) readHeader(path, t);
  }
  ::closedir(d);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: baseline DIR\n");
    return 2;
  }
  Totals t;
  walk(argv[1], t);
  std::printf("baseline: %lu messages, %lu header lines, %llu header bytes, %lu directories\n", t.messages, t.lines,
              t.bytes, t.directories);
  if (t.failures != 0) {
    std::fprintf(stderr, "baseline: %lu files or directories could not be opened\n", t.failures);
    return 1;
  }
  return 0;
}
