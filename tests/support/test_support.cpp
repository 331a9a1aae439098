#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

// The parts of the fixtures that are the same on every system; the rest is
// in test_support_posix.cpp and test_support_win32.cpp.

namespace testing_support {

namespace {

void snapshotInto(const std::string& root, const std::string& rel, std::map<std::string, std::string>& out) {
    for (const auto& name : listDirectory(root + (rel.empty() ? "" : "/" + rel))) {
        std::string r = rel.empty() ? name : rel + "/" + name;
        if (isDirectory(root + "/" + r)) {
            out[r + "/"] = "";
            snapshotInto(root, r, out);
        } else {
            out[r] = readFile(root + "/" + r);
        }
    }
}

}  // namespace

CurrentDirectory::CurrentDirectory(const std::string& dir) {
    std::vector<char> buf(4096);
    while (!getcwd(buf.data(), buf.size()) && errno == ERANGE) buf.resize(buf.size() * 2);
    previous_ = buf.data();
    if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir;
}

CurrentDirectory::~CurrentDirectory() {
    if (chdir(previous_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << previous_;
}

SavedVariables::SavedVariables(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
}

SavedVariables::~SavedVariables() {
    for (const auto& [name, value] : saved_) {
        if (value) setEnvironment(name, *value);
        else unsetEnvironment(name);
    }
}

InTempDirectory::InTempDirectory() {
    const char* path = std::getenv("PATH");
    originalPath_ = path ? path : "";
    unsetEnvironment("ARCHIVER_DEBUG");
}

void InTempDirectory::usePath(const std::string& value) { setEnvironment("PATH", value); }

std::string pathList(const std::vector<std::string>& elements) {
    std::string list;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (i) list += pathListSeparator;
        list += elements[i];
    }
    return list;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void writeFile(const std::string& path, const std::string& bytes) {
    auto slash = path.rfind('/');
    if (slash != std::string::npos) makeDirectories(path.substr(0, slash));
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::string();
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string readTextFile(const std::string& path) {
    std::string bytes = readFile(path);
#ifdef _WIN32
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
    return text;
#else
    return bytes;
#endif
}

std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    snapshotInto(root, "", out);
    return out;
}

std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size() - 1;
        lines.push_back(bytes.substr(start, end - start + 1));
        start = end + 1;
    }
    return lines;
}

std::string indexLine(const std::vector<std::string>& fields) {
    std::string line;
    for (const auto& f : fields) { line += f; line += '\xDE'; }
    line += '\n';
    return line;
}

std::vector<std::string> messageHeaders(const std::string& subject, const std::string& from,
                                        const std::string& to) {
    return {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: " + from, "To: " + to, "Subject: " + subject};
}

std::string messageIndexLine(const std::string& subject, const std::string& fromName,
                             const std::string& fromAddress, const std::string& fileName,
                             const std::string& values, const std::string& values2, const std::string& to) {
    return indexLine({values, values2, "1998-07-14", "11:39:10", subject, to, to, fromAddress, fromName, "1K", fileName});
}

std::string addressRecord(std::vector<std::string> fields) {
    while (fields.size() < 26) fields.push_back("f" + std::to_string(fields.size()));
    return indexLine(fields);
}

StoreBuilder::StoreBuilder(std::string mainDir) : main_(std::move(mainDir)) {
    makeDirectories(main_);
    writeFile(main_ + "/velmor.exe", "placeholder\n");
}

StoreBuilder& StoreBuilder::account(const std::string& dir, const std::string& displayName) {
    std::string ini(512, '\0');
    ini += displayName;
    ini += '\0';
    ini += std::string(64, '\0');
    writeFile(main_ + "/" + dir + "/acct.ini", ini);
    return *this;
}

StoreBuilder& StoreBuilder::folder(const std::string& dir, const std::string& displayName) {
    std::string line = displayName;
    for (const char* f : {"1000", "1", "0;1;2;3;4;5;6;7;8;9", "1", "1", "1", "0"}) {
        line += '\xDE';
        line += f;
    }
    line += "\xDE\n";
    writeFile(main_ + "/" + dir + "/folder.ini", line);
    return *this;
}

StoreBuilder& StoreBuilder::message(const std::string& path, const std::vector<std::string>& headers,
                                    const std::string& body) {
    std::string text;
    for (const auto& h : headers) text += h + "\n";
    text += "\n" + body;
    writeFile(main_ + "/" + path, text);
    return *this;
}

StoreBuilder& StoreBuilder::file(const std::string& path, const std::string& bytes) {
    writeFile(main_ + "/" + path, bytes);
    return *this;
}

StoreBuilder& StoreBuilder::age(const std::string& path, long days) {
    setModifyTime(main_ + "/" + path, std::time(nullptr) - days * 86400);
    return *this;
}

std::vector<std::string> zipMembers(const std::string& archive) {
    std::vector<std::string> names;
    RunResult r = run(findProgram("unzip"), {"-Z1", archive});
    if (r.status != 0) return names;
    std::stringstream ss(r.out);
    std::string line;
    while (std::getline(ss, line))
        if (!line.empty()) names.push_back(line);
    return names;
}

std::string zipMember(const std::string& archive, const std::string& member) {
    return run(findProgram("unzip"), {"-p", archive, member}).out;
}

void recordingStandIn(const std::string& dir, const std::string& name, const std::string& record, int status) {
    makeDirectories(dir);
#ifdef _WIN32
    writeStandIn(dir, name, "record " + record + "\nexit " + std::to_string(status) + "\n");
#else
    writeScript(dir, name,
                "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n"
                "/bin/cat > '" + record + ".in'\n"
                "exit " + std::to_string(status) + "\n");
#endif
}

}  // namespace testing_support
