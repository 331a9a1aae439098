// gen_store: writes a synthetic Velmor message store for benchmarks.
//
//   gen_store --out DIR [--messages N] [--accounts A] [--folders F]
//             [--big-folder K] [--seed S] [--end YYYY-MM-DD] [--years Y]
//             [--unindexed PCT] [--no-stale] [--addr-book]
//             [--expected DIR] [--summary FILE]
//
// DIR becomes the client's main directory (velmor.exe, *.act accounts, nested
// *.fld folders with folder.ini, folder.bag and *.msg messages). The same
// arguments always give the same bytes: every choice comes from one seeded
// generator of our own, never from the standard library's distributions,
// whose results differ between library versions.
//
// --expected writes, for every folder, the index a reindex must leave behind:
// the surviving lines as the archiver writes them (fields trimmed, stale lines
// gone), then a line built from the headers for each message that was left
// out of the index (--unindexed), in the order of the directory walk.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSep = '\xDE';

// ---------------------------------------------------------------- randomness

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 0x1234567ULL) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n); n > 0.
  uint64_t below(uint64_t n) { return next() % n; }
  // Uniform in [lo, hi].
  long range(long lo, long hi) { return lo + static_cast<long>(below(static_cast<uint64_t>(hi - lo + 1))); }
  bool chance(int percent) { return below(100) < static_cast<uint64_t>(percent); }
  template <typename T, size_t N>
  const T& pick(const T (&items)[N]) { return items[below(N)]; }
  // Log-uniform in [lo, hi]: many small values, a few large, as mail sizes are.
  long logRange(long lo, long hi) {
    const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
    const double v = static_cast<double>(lo) * std::pow(static_cast<double>(hi) / static_cast<double>(lo), u);
    return std::min(hi, std::max(lo, static_cast<long>(v)));
  }

 private:
  uint64_t state_;
};

// ---------------------------------------------------------------- word lists

const char* const kFirst[] = {"Ann", "Bob", "Carol", "Dave", "Eve", "Frank", "Grace", "Heidi", "Ivan",
                              "Judy", "Karl", "Lena", "Mallory", "Nina", "Oscar", "Peggy", "Quentin",
                              "Rita", "Sven", "Trudy", "Ursula", "Victor", "Walter", "Xenia", "Yusuf",
                              "Zoe", "Jürgen", "Chloé", "Björn", "Ana María"};
const char* const kLast[] = {"Smith", "Jones", "Miller", "Schmidt", "Dubois", "Rossi", "Novak", "Berg",
                             "Kowalski", "Garcia", "Tanaka", "Olsen", "Fischer", "Weber", "Moreau",
                             "Costa", "Nilsson", "Horvat", "Brown", "Wilson", "O'Neill", "van Dijk"};
const char* const kDomains[] = {"example.com", "example.org", "example.net", "mail.example.de",
                                "post.example.fr", "corp.example.com", "uni-example.edu",
                                "isp.example.co.uk", "lists.example.org", "shop.example.com",
                                "bank.example.ch", "club.example.at"};
const char* const kWords[] = {
    "the", "of", "and", "to", "in", "is", "that", "for", "it", "as", "with", "on", "be", "at", "by",
    "this", "had", "not", "are", "but", "from", "or", "have", "an", "they", "which", "one", "you",
    "were", "all", "we", "when", "there", "can", "been", "if", "more", "will", "would", "about",
    "meeting", "project", "report", "budget", "invoice", "order", "delivery", "schedule", "review",
    "draft", "proposal", "contract", "update", "release", "server", "backup", "holiday", "travel",
    "family", "weekend", "dinner", "tickets", "payment", "account", "statement", "newsletter",
    "conference", "agenda", "minutes", "question", "answer", "problem", "solution", "feedback",
    "customer", "support", "request", "status", "quarter", "figures", "attached", "please", "thanks",
    "regards", "tomorrow", "yesterday", "Monday", "Friday", "office", "team", "manager", "version",
    "document", "changes", "comments", "deadline", "price", "offer", "shipping", "address", "phone",
    "photos", "birthday", "party", "garden", "school", "club", "concert", "flight", "hotel", "train"};
const char* const kSubjectPrefix[] = {"", "", "", "", "Re: ", "Re: ", "RE: ", "Fwd: ", "AW: ", "Re: Re: "};
const char* const kMailers[] = {"Velmor Mail 4.2", "Microsoft Outlook 16.0", "Mozilla Thunderbird 115.3",
                                "Apple Mail (2.3731)", "Mutt/2.2.9", "Roundcube Webmail/1.6.2"};
const char* const kAccountNames[] = {"Work", "Home", "Lists", "Old ISP", "Club", "Support", "Family",
                                     "Shop", "Archive 2019", "Newsletters"};
const char* const kFolderNames[] = {"Projects", "Invoices", "Family", "Travel", "Newsletters",
                                    "Mailing lists", "Receipts", "Old stuff", "Friends", "Club",
                                    "Taxes", "Customers", "Suppliers", "Reports", "Photos", "Misc",
                                    "To do", "Later", "Important", "Bank", "Insurance", "School",
                                    "Garden", "Car", "House", "Health", "Jobs", "Conferences"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Zone {
  int hhmm;             // as written, e.g. -400 for -0400
  const char* comment;  // zone comment or name
};
const Zone kZones[] = {{-800, "PST"}, {-700, "PDT"}, {-500, "EST"}, {-400, "EDT"}, {0, "GMT"},
                       {0, "UTC"},    {100, "CET"},  {200, "CEST"}, {100, "BST"},  {530, "IST"},
                       {900, "JST"},  {1000, "AEST"}, {300, "MSK"}, {-300, "CDT"}};

// ---------------------------------------------------------------- calendar

long daysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}

void civilFromDays(long z, long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

struct Civil {
  long year;
  unsigned month, day;
  long secs;  // seconds of the day
  int weekday;
};

Civil civilOf(long long epoch) {
  long days = static_cast<long>(epoch / 86400);
  long secs = static_cast<long>(epoch % 86400);
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  Civil c{};
  civilFromDays(days, c.year, c.month, c.day);
  c.secs = secs;
  c.weekday = static_cast<int>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
  return c;
}

// ---------------------------------------------------------------- text helpers

std::string fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* format, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  if (n < 0) return std::string();
  return std::string(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

std::string lowerAlnum(const std::string& s, size_t limit) {
  std::string out;
  for (unsigned char ch : s) {
    if (out.size() >= limit) break;
    if (ch >= 'A' && ch <= 'Z') out += static_cast<char>(ch - 'A' + 'a');
    else if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) out += static_cast<char>(ch);
  }
  return out.empty() ? std::string("x") : out;
}

std::string trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// Name and address as the archiver's header reader takes them from a To: or
// From: value: a quoted text is the name, the run around the first '@' is the
// address, and the address stands in for a missing name.
void readerAddress(std::string value, std::string& name, std::string& address) {
  name.clear();
  address.clear();
  const size_t q = value.find('"');
  if (q != std::string::npos) {
    const size_t q2 = value.find('"', q + 1);
    if (q2 != std::string::npos) {
      name = value.substr(q + 1, q2 - q - 1);
      for (size_t i = q; i <= q2; ++i) value[i] = ' ';
    }
  }
  const size_t at = value.find('@');
  if (at != std::string::npos) {
    size_t start = at;
    while (start > 0 && value[start - 1] != ' ' && value[start - 1] != '<') --start;
    size_t end = at + 1;
    while (end < value.size() && value[end] != ' ' && value[end] != '>' && value[end] != '\r' &&
           value[end] != '\n')
      ++end;
    address = value.substr(start, end - start);
  }
  if (address.empty()) {
    size_t b = 0;
    while (b < value.size() && (value[b] == ' ' || value[b] == '\t')) ++b;
    address = value.substr(b);
  }
  if (name.empty()) name = address;
}

// ---------------------------------------------------------------- files

bool writeFile(const std::string& path, const std::string& data) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return ::close(fd) == 0;
}

bool makeDirs(const std::string& path) {
  std::string partial;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    pos = slash + 1;
  }
  return true;
}

void die(const std::string& what) {
  std::fprintf(stderr, "gen_store: %s\n", what.c_str());
  std::exit(1);
}

void must(bool ok, const std::string& what) {
  if (!ok) die(what + ": " + std::strerror(errno));
}

// ---------------------------------------------------------------- model

struct Person {
  std::string display;  // may be empty
  std::string address;
};

struct Folder {
  int account;
  int parent;  // index into folders, -1 directly in the account
  std::string dirName;
  std::string display;
  std::string relPath;  // below the main directory, ending in "/"
  long weight;
  long messages = 0;
};

struct Options {
  std::string out;
  long messages = 100000;
  int accounts = 5;
  int folders = 60;
  long bigFolder = 0;
  uint64_t seed = 1;
  std::string end = "2025-06-30";
  int years = 3;
  int unindexedPercent = 0;
  bool stale = true;
  bool addrBook = false;
  std::string expected;
  std::string summary;
};

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: gen_store --out DIR [--messages N] [--accounts A] [--folders F] [--big-folder K]\n"
               "                 [--seed S] [--end YYYY-MM-DD] [--years Y] [--unindexed PCT]\n"
               "                 [--no-stale] [--addr-book] [--expected DIR] [--summary FILE]\n");
  std::exit(2);
}

long numberArg(const char* text, long lo, long hi) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) usage();
  return v;
}

Options parseArgs(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) usage();
      return argv[++i];
    };
    if (a == "--out") o.out = value();
    else if (a == "--messages") o.messages = numberArg(value(), 0, 100000000);
    else if (a == "--accounts") o.accounts = static_cast<int>(numberArg(value(), 1, 1000));
    else if (a == "--folders") o.folders = static_cast<int>(numberArg(value(), 0, 100000));
    else if (a == "--big-folder") o.bigFolder = numberArg(value(), 0, 100000000);
    else if (a == "--seed") o.seed = static_cast<uint64_t>(numberArg(value(), 0, 0x7fffffffL));
    else if (a == "--end") o.end = value();
    else if (a == "--years") o.years = static_cast<int>(numberArg(value(), 1, 50));
    else if (a == "--unindexed") o.unindexedPercent = static_cast<int>(numberArg(value(), 0, 100));
    else if (a == "--no-stale") o.stale = false;
    else if (a == "--addr-book") o.addrBook = true;
    else if (a == "--expected") o.expected = value();
    else if (a == "--summary") o.summary = value();
    else usage();
  }
  if (o.out.empty()) usage();
  while (o.out.size() > 1 && o.out.back() == '/') o.out.pop_back();
  if (o.messages > 0 && o.folders == 0) die("--messages needs at least one folder (--folders)");
  return o;
}

// ---------------------------------------------------------------- generator

class Generator {
 public:
  explicit Generator(const Options& o) : opt_(o), rng_(o.seed) {
    int y = 0, m = 0, d = 0;
    if (std::sscanf(o.end.c_str(), "%d-%d-%d", &y, &m, &d) != 3 || m < 1 || m > 12 || d < 1 || d > 31)
      die("--end wants YYYY-MM-DD");
    endEpoch_ = static_cast<long long>(daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d))) * 86400;
    spanSeconds_ = static_cast<long long>(o.years) * 365 * 86400;
    buildTextPool();
    buildPeople();
  }

  void run();

 private:
  struct IndexLine {
    std::string text;     // as written to folder.bag by the client
    std::string trimmed;  // as the archiver writes it back
    bool stale;
  };

  void buildTextPool();
  void buildPeople();
  void layout();
  std::string words(int minWords, int maxWords);
  std::string personField(const Person& p);
  std::string body(long target, bool multipart, const std::string& boundary, std::string& contentType);
  void writeFolder(const Folder& f, long& nextNumber);
  void writeAccounts();
  void writeAddressBook();

  const Options& opt_;
  Rng rng_;
  long long endEpoch_ = 0;
  long long spanSeconds_ = 0;
  std::string pool_;
  std::vector<size_t> poolLines_;
  std::vector<Person> people_;
  std::vector<Person> owners_;  // one per account
  std::vector<std::string> accountDirs_;
  std::vector<std::string> accountDisplays_;
  std::vector<Folder> folders_;
  // totals for the summary
  long long bytes_ = 0;
  long staleLines_ = 0;
  long unindexed_ = 0;
  long written_ = 0;
};

void Generator::buildTextPool() {
  // About 2 MB of wrapped prose; bodies are slices of it, so they compress as
  // ordinary text does, and no two neighbouring messages share the same slice.
  std::string line;
  while (pool_.size() < 2 * 1024 * 1024) {
    poolLines_.push_back(pool_.size());
    line.clear();
    const size_t width = static_cast<size_t>(rng_.range(40, 76));
    bool sentenceStart = true;
    while (line.size() < width) {
      std::string w = rng_.pick(kWords);
      if (sentenceStart && w[0] >= 'a' && w[0] <= 'z') w[0] = static_cast<char>(w[0] - 'a' + 'A');
      sentenceStart = false;
      if (!line.empty()) line += ' ';
      line += w;
      if (rng_.chance(8)) {
        line += rng_.chance(80) ? "." : "?";
        sentenceStart = true;
      } else if (rng_.chance(6)) {
        line += ',';
      }
    }
    pool_ += line;
    pool_ += "\r\n";
    if (rng_.chance(12)) {
      poolLines_.push_back(pool_.size());
      pool_ += "\r\n";  // paragraph break
    }
  }
}

void Generator::buildPeople() {
  for (int i = 0; i < 400; ++i) {
    Person p;
    const std::string first = rng_.pick(kFirst);
    const std::string last = rng_.pick(kLast);
    const std::string domain = rng_.pick(kDomains);
    switch (rng_.below(4)) {
      case 0: p.address = lowerAlnum(first, 12) + "." + lowerAlnum(last, 12) + "@" + domain; break;
      case 1: p.address = lowerAlnum(first, 1) + lowerAlnum(last, 12) + "@" + domain; break;
      case 2: p.address = lowerAlnum(first, 12) + std::to_string(rng_.range(1, 99)) + "@" + domain; break;
      default: p.address = lowerAlnum(last, 12) + "@" + domain; break;
    }
    if (rng_.chance(75)) p.display = first + " " + last;
    people_.push_back(p);
  }
  const char* const lists[] = {"announce", "users", "dev", "news", "info", "noreply", "billing"};
  for (const char* l : lists) people_.push_back(Person{"", std::string(l) + "@" + rng_.pick(kDomains)});
}

std::string Generator::words(int minWords, int maxWords) {
  std::string s;
  const long n = rng_.range(minWords, maxWords);
  for (long i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += rng_.pick(kWords);
  }
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

// A To: or From: value in one of the forms mail programs write.
std::string Generator::personField(const Person& p) {
  if (p.display.empty()) return rng_.chance(70) ? p.address : "<" + p.address + ">";
  switch (rng_.below(5)) {
    case 0:
    case 1: return "\"" + p.display + "\" <" + p.address + ">";
    case 2: return p.display + " <" + p.address + ">";
    case 3: return p.address + " (" + p.display + ")";
    default: return p.address;
  }
}

std::string Generator::body(long target, bool multipart, const std::string& boundary, std::string& contentType) {
  std::string out;
  auto prose = [&](long size) {
    size_t start = poolLines_[rng_.below(poolLines_.size() / 2)];
    size_t end = std::min(pool_.size(), start + static_cast<size_t>(size));
    const size_t nl = pool_.find("\r\n", end);
    end = nl == std::string::npos ? pool_.size() : nl + 2;
    out.append(pool_, start, end - start);
  };
  if (!multipart) {
    contentType = rng_.chance(80) ? "text/plain; charset=us-ascii" : "text/plain; charset=\"iso-8859-1\"";
    prose(target);
    return out;
  }
  contentType = "multipart/mixed;\r\n\tboundary=\"" + boundary + "\"";
  const long attachment = std::max(512L, target / 3);
  out += "This is a multi-part message in MIME format.\r\n\r\n--" + boundary + "\r\n";
  out += "Content-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
  prose(std::max(256L, target - attachment));
  const std::string name = lowerAlnum(rng_.pick(kWords), 8) + (rng_.chance(50) ? ".pdf" : ".jpg");
  out += "\r\n--" + boundary + "\r\n";
  out += "Content-Type: application/octet-stream;\r\n\tname=\"" + name + "\"\r\n";
  out += "Content-Transfer-Encoding: base64\r\n";
  out += "Content-Disposition: attachment;\r\n\tfilename=\"" + name + "\"\r\n\r\n";
  static const char b64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  long left = attachment;
  while (left > 0) {
    std::string line(76, 'A');
    uint64_t bits = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i % 10 == 0) bits = rng_.next();
      line[i] = b64[bits & 63];
      bits >>= 6;
    }
    out += line;
    out += "\r\n";
    left -= 78;
  }
  out += "\r\n--" + boundary + "--\r\n";
  return out;
}

void Generator::layout() {
  for (int a = 0; a < opt_.accounts; ++a) {
    std::string display = kAccountNames[a % (sizeof kAccountNames / sizeof kAccountNames[0])];
    if (a >= static_cast<int>(sizeof kAccountNames / sizeof kAccountNames[0])) display += " " + std::to_string(a);
    accountDisplays_.push_back(display);
    accountDirs_.push_back(lowerAlnum(display, 6) + std::to_string(a) + ".act");
    owners_.push_back(people_[rng_.below(people_.size())]);
  }
  // The standard folders first, then the user's own, about a third of them
  // inside another folder of the same account (up to three levels deep).
  const char* const standard[] = {"Inbox", "Sent", "Drafts", "Trash"};
  const long standardWeight[] = {40, 15, 1, 4};
  std::vector<int> depth;
  int made = 0;
  for (int s = 0; s < 4 && made < opt_.folders; ++s) {
    for (int a = 0; a < opt_.accounts && made < opt_.folders; ++a, ++made) {
      Folder f{a, -1, lowerAlnum(standard[s], 8) + ".fld", standard[s], "", standardWeight[s] * rng_.range(5, 15)};
      folders_.push_back(f);
      depth.push_back(1);
    }
  }
  int custom = 0;
  while (made < opt_.folders) {
    const int a = static_cast<int>(rng_.below(static_cast<uint64_t>(opt_.accounts)));
    std::string display = kFolderNames[custom % (sizeof kFolderNames / sizeof kFolderNames[0])];
    if (custom >= static_cast<int>(sizeof kFolderNames / sizeof kFolderNames[0])) display += " " + std::to_string(custom);
    int parent = -1;
    if (rng_.chance(35) || custom == 0) {  // at least one nested folder in every store
      std::vector<int> candidates;
      for (size_t i = 0; i < folders_.size(); ++i)
        if (folders_[i].account == a && depth[i] < 3 && folders_[i].display != "Trash") candidates.push_back(static_cast<int>(i));
      if (!candidates.empty()) parent = candidates[rng_.below(candidates.size())];
    }
    Folder f{a, parent, lowerAlnum(display, 6) + std::to_string(custom) + ".fld", display, "", rng_.logRange(2, 200)};
    folders_.push_back(f);
    depth.push_back(parent < 0 ? 1 : depth[static_cast<size_t>(parent)] + 1);
    ++custom;
    ++made;
  }
  if (opt_.bigFolder > 0) {
    Folder f{0, -1, "bigarch.fld", "Big archive", "", 0};
    f.messages = opt_.bigFolder;
    folders_.push_back(f);
  }
  for (Folder& f : folders_) {
    std::string rel = f.dirName + "/";
    for (int p = f.parent; p >= 0; p = folders_[static_cast<size_t>(p)].parent)
      rel = folders_[static_cast<size_t>(p)].dirName + "/" + rel;
    f.relPath = accountDirs_[static_cast<size_t>(f.account)] + "/" + rel;
  }
  // Messages go to folders in proportion to their weights.
  long long totalWeight = 0;
  for (const Folder& f : folders_) totalWeight += f.weight;
  long given = 0;
  for (Folder& f : folders_) {
    if (f.weight == 0) continue;
    f.messages += static_cast<long>(static_cast<long long>(opt_.messages) * f.weight / totalWeight);
    given += static_cast<long>(static_cast<long long>(opt_.messages) * f.weight / totalWeight);
  }
  for (size_t i = 0; given < opt_.messages; i = (i + 1) % folders_.size()) {
    if (folders_[i].weight == 0) continue;
    ++folders_[i].messages;
    ++given;
  }
}

void Generator::writeAccounts() {
  for (size_t a = 0; a < accountDirs_.size(); ++a) {
    const std::string dir = opt_.out + "/" + accountDirs_[a];
    must(makeDirs(dir), "cannot create " + dir);
    // The client's own settings surround the name: binary noise before it,
    // the zero-terminated display name at byte 512, more settings after.
    std::string ini(1024, '\0');
    for (size_t i = 0; i < 512; ++i) ini[i] = static_cast<char>(rng_.below(256));
    const std::string& name = accountDisplays_[a];
    ini.replace(512, name.size(), name);
    const std::string tail = "pop3=pop." + owners_[a].address.substr(owners_[a].address.find('@') + 1) +
                             ";user=" + owners_[a].address;
    ini.replace(800, std::min<size_t>(tail.size(), 200), tail.substr(0, 200));
    must(writeFile(dir + "/acct.ini", ini), "cannot write acct.ini");
  }
}

void Generator::writeFolder(const Folder& f, long& nextNumber) {
  const std::string dir = opt_.out + "/" + f.relPath;
  must(makeDirs(dir), "cannot create " + dir);
  {
    std::string ini = f.display;
    const char* const fields[] = {"1000", "1", "0;1;2;3;4;5;6;7;8;9", "1", "1", "1", "0"};
    ini += kSep;
    for (const char* field : fields) {
      ini += field;
      ini += kSep;
    }
    ini += "\r\n";
    if (rng_.chance(30)) ini += "sort=2\r\nview=0\r\n";
    must(writeFile(dir + "folder.ini", ini), "cannot write folder.ini");
  }

  const Person& owner = owners_[static_cast<size_t>(f.account)];
  const bool sentFolder = f.display == "Sent" || f.display == "Drafts";
  std::vector<IndexLine> index;
  std::vector<std::pair<std::string, std::string>> added;  // file name, line
  index.reserve(static_cast<size_t>(f.messages) + 8);

  // Messages arrive in time order, so file numbers and dates rise together.
  std::vector<long long> times(static_cast<size_t>(f.messages));
  for (long long& t : times) t = endEpoch_ - spanSeconds_ + static_cast<long long>(rng_.below(static_cast<uint64_t>(spanSeconds_)));
  std::sort(times.begin(), times.end());

  auto staleLine = [&]() {
    // An index line whose message is gone: the client lost track of a delete.
    std::string name = std::to_string(nextNumber++) + ".msg";
    std::string text = fmt("%d%c%d%c", 0, kSep, 1, kSep);
    const Civil c = civilOf(endEpoch_ - static_cast<long long>(rng_.below(static_cast<uint64_t>(spanSeconds_))));
    text += fmt("%04ld-%02u-%02u  %c%02ld:%02ld:%02ld%c", c.year, c.month, c.day, kSep, c.secs / 3600, c.secs / 60 % 60,
                c.secs % 60, kSep);
    text += words(2, 5) + kSep + owner.address + kSep + owner.address + kSep;
    const Person& p = people_[rng_.below(people_.size())];
    text += p.address + kSep + p.address + kSep + "2K" + kSep + name + kSep + "\n";
    index.push_back(IndexLine{text, std::string(), true});
    ++staleLines_;
  };
  const long staleCount = opt_.stale ? rng_.range(1, 3) : 0;
  std::vector<long> stalePositions;
  for (long s = 0; s < staleCount; ++s) stalePositions.push_back(rng_.range(0, f.messages));

  for (long i = 0; i < f.messages; ++i) {
    for (long pos : stalePositions)
      if (pos == i) staleLine();
    const long number = nextNumber;
    nextNumber += rng_.chance(10) ? rng_.range(2, 5) : 1;  // gaps: messages the user deleted
    const std::string fileName = std::to_string(number) + ".msg";

    const long long utc = times[static_cast<size_t>(i)];
    const Zone& zone = rng_.pick(kZones);
    const long zoneSeconds = (zone.hhmm % 100 + zone.hhmm / 100 * 60) * 60;
    const Civil local = civilOf(utc + zoneSeconds);
    const Person& other = people_[rng_.below(people_.size())];
    const Person& from = sentFolder ? owner : other;
    const Person& to = sentFolder ? other : owner;
    const std::string fromValue = personField(from);
    std::string toValue = personField(to);
    if (rng_.chance(10)) toValue += ", " + people_[rng_.below(people_.size())].address;

    std::string subject = std::string(rng_.pick(kSubjectPrefix)) + words(1, 12);
    if (rng_.chance(5)) subject = "=?iso-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?= " + words(1, 4);
    if (rng_.chance(15)) subject += " " + words(8, 14);  // long enough to fold

    // Date: in the forms seen in real mail. zoneUsed is what the archiver's
    // reader takes as the offset: a number, or 0 for a zone name.
    long zoneUsed = zone.hhmm;
    const long h = local.secs / 3600, mi = local.secs / 60 % 60, se = local.secs % 60;
    const char* wd = kDays[local.weekday];
    const char* mon = kMonths[local.month - 1];
    const std::string num = fmt("%c%04d", zone.hhmm < 0 ? '-' : '+', std::abs(zone.hhmm));
    std::string dateValue;
    long secondsShown = se;
    const uint64_t form = rng_.below(100);
    if (form < 45) dateValue = fmt("%s, %u %s %ld %02ld:%02ld:%02ld %s", wd, local.day, mon, local.year, h, mi, se, num.c_str());
    else if (form < 60) dateValue = fmt("%s, %02u %s %ld %02ld:%02ld:%02ld %s (%s)", wd, local.day, mon, local.year, h, mi, se, num.c_str(), zone.comment);
    else if (form < 70) dateValue = fmt("%u %s %ld %02ld:%02ld:%02ld %s", local.day, mon, local.year, h, mi, se, num.c_str());
    else if (form < 80) {
      const Civil u = civilOf(utc);
      dateValue = fmt("%s, %02u %s %ld %02ld:%02ld:%02ld GMT", kDays[u.weekday], u.day, kMonths[u.month - 1], u.year,
                      u.secs / 3600, u.secs / 60 % 60, u.secs % 60);
      zoneUsed = 0;
      // The shown fields are universal time already.
    } else if (form < 87) {
      dateValue = fmt("%s, %u %s %ld %02ld:%02ld:%02ld %s", wd, local.day, mon, local.year, h, mi, se, zone.comment);
      zoneUsed = 0;
    } else if (form < 94) {
      dateValue = fmt("%s, %u %s %ld %02ld:%02ld %s", wd, local.day, mon, local.year, h, mi, num.c_str());
      secondsShown = 0;
    } else {
      dateValue = fmt("%s, %u %s %ld %ld:%02ld:%02ld %s", wd, local.day, mon, local.year, h, mi, se, num.c_str());
    }
    // Index date and time: the shown fields moved by the offset the reader uses.
    Civil shown = form >= 70 && form < 80 ? civilOf(utc) : local;
    long t = shown.secs - se + secondsShown - (zoneUsed % 100 + zoneUsed / 100 * 60) * 60;
    long day = daysFromCivil(shown.year, shown.month, shown.day);
    if (t < 0) {
      --day;
      t += 86400;
    }
    if (t > 86400) {
      ++day;
      t -= 86400;
    }
    long iy;
    unsigned im, id;
    civilFromDays(day, iy, im, id);

    // The header, 10 to 25 physical lines.
    const std::string host = lowerAlnum(rng_.pick(kWords), 8) + std::to_string(rng_.range(1, 40));
    const std::string myDomain = owner.address.substr(owner.address.find('@') + 1);
    const std::string msgId = fmt("<%lld.%ld.%s@%s>", utc, number, lowerAlnum(rng_.pick(kWords), 6).c_str(),
                                  from.address.substr(from.address.find('@') + 1).c_str());
    const long targetLines = rng_.range(10, 25);
    std::vector<std::string> head;
    auto physical = [&]() {
      size_t n = 0;
      for (const std::string& l : head) n += static_cast<size_t>(std::count(l.begin(), l.end(), '\n'));
      return static_cast<long>(n);
    };
    if (rng_.chance(70)) head.push_back("Return-Path: <" + from.address + ">\r\n");
    const long fixedLines = 10 + (subject.size() > 60 ? 1 : 0);
    long received = 0;
    while (physical() + 3 + fixedLines <= targetLines && received < 4) {
      const Civil rc = civilOf(utc + 30 * (4 - received) + zoneSeconds);
      const char* relay = rng_.pick(kDomains);
      head.push_back(fmt("Received: from %s.%s (%s.%s [10.%ld.%ld.%ld])\r\n\tby mx%ld.%s with ESMTP id %llX\r\n\tfor <%s>; %s, %u %s %ld %02ld:%02ld:%02ld %s\r\n",
                         host.c_str(), relay, host.c_str(), relay, rng_.range(0, 255),
                         rng_.range(0, 255), rng_.range(1, 254), rng_.range(1, 3), myDomain.c_str(),
                         static_cast<unsigned long long>(rng_.next() & 0xFFFFFFFFFFULL), to.address.c_str(),
                         kDays[rc.weekday], rc.day, kMonths[rc.month - 1], rc.year, rc.secs / 3600, rc.secs / 60 % 60,
                         rc.secs % 60, num.c_str()));
      ++received;
    }
    head.push_back("Message-ID: " + msgId + "\r\n");
    head.push_back("Date: " + dateValue + "\r\n");
    head.push_back("From: " + fromValue + "\r\n");
    head.push_back("To: " + toValue + "\r\n");
    if (subject.size() > 60) {
      // Fold at a blank: the reader joins the lines again, blank included.
      const size_t cut = subject.rfind(' ', 50);
      if (cut != std::string::npos && cut > 0)
        head.push_back("Subject: " + subject.substr(0, cut) + "\r\n" + subject.substr(cut) + "\r\n");
      else
        head.push_back("Subject: " + subject + "\r\n");
    } else {
      head.push_back("Subject: " + subject + "\r\n");
    }
    const bool multipart = rng_.chance(15);
    const std::string boundary = fmt("----=_NextPart_%08llX", static_cast<unsigned long long>(rng_.next() & 0xFFFFFFFFULL));
    std::string contentType;
    const long bodyTarget = rng_.logRange(1024, 20 * 1024);
    const std::string text = body(bodyTarget, multipart, boundary, contentType);
    head.push_back("MIME-Version: 1.0\r\n");
    head.push_back("Content-Type: " + contentType + "\r\n");
    head.push_back(std::string("Content-Transfer-Encoding: ") + (multipart ? "7bit" : "8bit") + "\r\n");
    // Optional lines fill up to the target.
    std::vector<std::string> optional;
    if (subject.rfind("Re", 0) == 0 || subject.rfind("AW", 0) == 0) {
      optional.push_back(fmt("In-Reply-To: <%lld.%s@%s>\r\n", utc - 3600, host.c_str(), myDomain.c_str()));
      optional.push_back(fmt("References: <%lld.%s@%s>\r\n\t<%lld.%s@%s>\r\n", utc - 7200, host.c_str(), myDomain.c_str(),
                             utc - 3600, host.c_str(), myDomain.c_str()));
    }
    optional.push_back(std::string("X-Mailer: ") + rng_.pick(kMailers) + "\r\n");
    if (rng_.chance(40)) optional.push_back("Cc: " + personField(people_[rng_.below(people_.size())]) + "\r\n");
    optional.push_back(fmt("X-Priority: %ld\r\n", rng_.range(1, 5)));
    optional.push_back("X-UIDL: " + fmt("%016llx", static_cast<unsigned long long>(rng_.next())) + "\r\n");
    optional.push_back("Status: RO\r\n");
    for (const std::string& o : optional) {
      if (physical() >= targetLines) break;
      head.push_back(o);
    }

    std::string message;
    message.reserve(static_cast<size_t>(bodyTarget) + 4096);
    for (const std::string& l : head) message += l;
    message += "\r\n";
    message += text;
    const std::string path = dir + fileName;
    must(writeFile(path, message), "cannot write " + path);
    // File times: delivery a little after the Date: header, never read since.
    const long long delivered = utc + rng_.range(5, 3600);
    struct timeval tv[2];
    tv[0].tv_sec = static_cast<time_t>(delivered);
    tv[0].tv_usec = 0;
    tv[1] = tv[0];
    must(::utimes(path.c_str(), tv) == 0, "cannot set times of " + path);
    bytes_ += static_cast<long long>(message.size());
    ++written_;

    // The client's index line for it, with the fields the reader finds. The
    // draws come first so that --unindexed changes no message.
    const int v1 = static_cast<int>(rng_.below(3)), v2 = static_cast<int>(rng_.range(1, 2));
    const bool inIndex = !rng_.chance(opt_.unindexedPercent);
    std::string recipientName, recipientAddress, senderName, senderAddress;
    readerAddress(toValue, recipientName, recipientAddress);
    readerAddress(fromValue, senderName, senderAddress);
    const std::string date = fmt("%04ld-%02u-%02u  ", iy, im, id);
    const std::string time = fmt("%02ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
    const std::string size = std::to_string((message.size() + 1023) / 1024) + "K";
    const std::string fields[] = {date, time, subject, recipientAddress, recipientName, senderAddress, senderName, size};
    std::string line = fmt("%d%c%d%c", v1, kSep, v2, kSep);
    std::string back = line;
    for (const std::string& fld : fields) {
      line += fld + kSep;
      back += trimmed(fld) + kSep;
    }
    line += fileName + kSep + "\n";
    back += fileName + kSep + "\n";
    if (inIndex) {
      index.push_back(IndexLine{line, back, false});
    } else {
      // What a reindex builds from the headers: the client's values become 1 and 1.
      const std::string client = fmt("%d%c%d%c", v1, kSep, v2, kSep);
      added.emplace_back(fileName, fmt("%d%c%d%c", 1, kSep, 1, kSep) + back.substr(client.size()));
      ++unindexed_;
    }
  }
  for (long pos : stalePositions)
    if (pos == f.messages) staleLine();

  std::string bag;
  for (const IndexLine& l : index) bag += l.text;
  must(writeFile(dir + "folder.bag", bag), "cannot write folder.bag");

  if (!opt_.expected.empty()) {
    const std::string edir = opt_.expected + "/" + f.relPath;
    must(makeDirs(edir), "cannot create " + edir);
    std::string expected;
    for (const IndexLine& l : index)
      if (!l.stale) expected += l.trimmed;
    // A reindex appends the new files in the order of the directory walk: by
    // name, ignoring case (the names are digits).
    std::sort(added.begin(), added.end());
    for (const auto& a : added) expected += a.second;
    must(writeFile(edir + "folder.bag", expected), "cannot write expected folder.bag");
  }
}

void Generator::writeAddressBook() {
  const size_t slash = opt_.out.rfind('/');
  const std::string tools = (slash == std::string::npos ? std::string(".") : opt_.out.substr(0, slash)) + "/tools";
  must(makeDirs(tools), "cannot create " + tools);
  std::string book;
  for (size_t i = 0; i < people_.size(); ++i) {
    const Person& p = people_[i];
    const std::string name = p.display.empty() ? p.address : p.display;
    const std::string fields[4] = {p.address, lowerAlnum(name, 8), name, rng_.pick(kDomains)};
    for (int f = 0; f < 26; ++f) {
      book += f < 4 ? fields[f] : std::string(rng_.chance(20) ? "x" : "");
      book += kSep;
    }
    book += "\r\n";
  }
  must(writeFile(tools + "/addr.db", book), "cannot write addr.db");
}

void Generator::run() {
  must(makeDirs(opt_.out), "cannot create " + opt_.out);
  must(writeFile(opt_.out + "/velmor.exe", "Velmor mail client (benchmark placeholder)\r\n"), "cannot write velmor.exe");
  layout();
  writeAccounts();
  long nextNumber = 1000;
  for (const Folder& f : folders_) writeFolder(f, nextNumber);
  if (opt_.addrBook) writeAddressBook();

  const std::string summary = fmt("messages=%ld\nfolders=%zu\naccounts=%zu\nstale=%ld\nunindexed=%ld\nbytes=%lld\n",
                                  written_, folders_.size(), accountDirs_.size(), staleLines_, unindexed_, bytes_);
  if (!opt_.summary.empty()) must(writeFile(opt_.summary, summary), "cannot write " + opt_.summary);
  std::printf("gen_store: %ld messages (%lld bytes) in %zu folders of %zu accounts, %ld stale index lines, %ld unindexed\n",
              written_, bytes_, folders_.size(), accountDirs_.size(), staleLines_, unindexed_);
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parseArgs(argc, argv);
  Generator g(o);
  g.run();
  return 0;
}
