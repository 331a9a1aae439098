// check_bags: compares the folder indexes of a reindexed store with what the
// generator expects.
//
//   check_bags EXPECTED_DIR STORE_DIR
//
// EXPECTED_DIR is the tree gen_store --expected wrote, one folder.bag per
// folder. Each must equal the store's folder.bag byte for byte. Reports every
// folder that differs, with its first differing line; exits 1 if any does.

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

bool readAll(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

// The line of text that begins at or before offset pos, for the report;
// the separator byte shown as '|'.
std::string lineAt(const std::string& text, size_t pos) {
  if (pos >= text.size()) return "(end of file)";
  const size_t begin = text.rfind('\n', pos == 0 ? 0 : pos - 1);
  const size_t from = begin == std::string::npos || pos == 0 ? 0 : begin + 1;
  const size_t end = text.find('\n', from);
  std::string line = text.substr(from, (end == std::string::npos ? text.size() : end) - from);
  for (char& c : line)
    if (c == '\xDE') c = '|';
  return line;
}

struct Result {
  unsigned long folders = 0, lines = 0, bad = 0;
};

void checkFolder(const std::string& expectedDir, const std::string& storeDir, const std::string& rel, Result& r) {
  std::string expected, actual;
  ++r.folders;
  if (!readAll(expectedDir + "/" + rel + "folder.bag", expected)) {
    ++r.bad;
    std::fprintf(stderr, "check_bags: %s: expected index unreadable\n", rel.c_str());
    return;
  }
  if (!readAll(storeDir + "/" + rel + "folder.bag", actual)) {
    ++r.bad;
    std::fprintf(stderr, "check_bags: %sfolder.bag: missing\n", rel.c_str());
    return;
  }
  if (actual == expected) {
    for (char c : expected) r.lines += c == '\n';
    return;
  }
  ++r.bad;
  size_t i = 0;
  while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
  size_t line = 1;
  for (size_t k = 0; k < i; ++k) line += expected[k] == '\n';
  std::fprintf(stderr, "check_bags: %sfolder.bag differs from line %zu\n  expected: %s\n  found:    %s\n", rel.c_str(),
               line, lineAt(expected, i).c_str(), lineAt(actual, i).c_str());
}

void walk(const std::string& expectedDir, const std::string& storeDir, const std::string& rel, Result& r) {
  const std::string dir = expectedDir + "/" + rel;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> subdirs;
  bool hasBag = false;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (stat((dir + name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) subdirs.push_back(name);
    else if (name == "folder.bag") hasBag = true;
  }
  closedir(d);
  if (hasBag) checkFolder(expectedDir, storeDir, rel, r);
  for (const std::string& s : subdirs) walk(expectedDir, storeDir, rel + s + "/", r);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: check_bags EXPECTED_DIR STORE_DIR\n");
    return 2;
  }
  Result r;
  walk(argv[1], argv[2], "", r);
  if (r.folders == 0) {
    std::fprintf(stderr, "check_bags: no expected folders under %s\n", argv[1]);
    return 1;
  }
  std::printf("check_bags: %lu folders, %lu lines as expected, %lu folders differ\n", r.folders, r.lines, r.bad);
  return r.bad == 0 ? 0 : 1;
}
