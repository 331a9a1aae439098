// check_bags: compares the folder indexes of a reindexed store with what the
// generator expects.
//
//   check_bags EXPECTED_DIR STORE_DIR
//
// EXPECTED_DIR is the tree gen_store --expected wrote. For each of its
// folders, the store's folder.bag must begin with exactly the expected bytes
// (the lines that survive, in their old order) and continue with one line for
// each name of new.list, in that order, built from the message (first two
// fields 1, eleven fields each ended by the byte 0xDE). Reports every folder
// that differs; exits 1 if any does.

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

struct Result {
  unsigned long folders = 0, kept = 0, added = 0, bad = 0;
};

void fail(Result& r, const std::string& rel, const std::string& why) {
  ++r.bad;
  std::fprintf(stderr, "check_bags: %sfolder.bag: %s\n", rel.c_str(), why.c_str());
}

void checkFolder(const std::string& expectedDir, const std::string& storeDir, const std::string& rel, Result& r) {
  std::string expected, names, actual;
  if (!readAll(expectedDir + "/" + rel + "folder.bag", expected) || !readAll(expectedDir + "/" + rel + "new.list", names)) {
    fail(r, rel, "expected files unreadable");
    return;
  }
  ++r.folders;
  if (!readAll(storeDir + "/" + rel + "folder.bag", actual)) {
    fail(r, rel, "missing after the run");
    return;
  }
  if (actual.compare(0, expected.size(), expected) != 0) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    size_t line = 1;
    for (size_t k = 0; k < i; ++k) line += expected[k] == '\n';
    fail(r, rel, "kept lines differ from line " + std::to_string(line));
    return;
  }
  for (char c : expected) r.kept += c == '\n';
  std::istringstream want(names);
  std::string name;
  size_t pos = expected.size();
  while (std::getline(want, name)) {
    const size_t nl = actual.find('\n', pos);
    if (nl == std::string::npos) {
      fail(r, rel, "no line added for " + name);
      return;
    }
    const std::string line = actual.substr(pos, nl - pos);
    pos = nl + 1;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t sep; (sep = line.find('\xDE', start)) != std::string::npos; start = sep + 1)
      fields.push_back(line.substr(start, sep - start));
    if (start != line.size() || fields.size() != 11) {
      fail(r, rel, "added line for " + name + " does not hold eleven fields");
      return;
    }
    if (fields[0] != "1" || fields[1] != "1" || fields[10] != name) {
      fail(r, rel, "added line names " + fields[10] + ", expected " + name);
      return;
    }
    for (size_t f = 2; f < 10; ++f)
      if (fields[f].empty()) {
        fail(r, rel, "added line for " + name + " has an empty field");
        return;
      }
    ++r.added;
  }
  if (pos != actual.size()) fail(r, rel, "holds lines beyond the expected ones");
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
  std::printf("check_bags: %lu folders, %lu lines kept, %lu lines added, %lu folders differ\n", r.folders, r.kept,
              r.added, r.bad);
  return r.bad == 0 ? 0 : 1;
}
