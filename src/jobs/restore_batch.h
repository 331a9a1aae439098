// How the restore job takes members out of the archive: one listing of
// the archive, and unzip runs that each extract a batch of members into a
// private staging folder, from where every member is checked and moved
// into place on its own.
//
// Calling sequence: ArchiveMembers::load once (unzip -v); find() for each
// index line; StagedBatch::extract for a batch of members that go to one
// folder; wholeFile() for each of them, in the order the job wants, and a
// move of that file to where the message belongs. A member that did not
// come out, or not with the size and CRC-32 the listing gives, has no
// whole file: the job reports it as it reports a member unzip could not
// extract. The staging folder is in the cleanup registry: an interrupt or
// any end of the run removes it with what it still holds.
#pragma once

#include "platform.h"
#include "zip.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

// The members of the archive, found by the paths backup.bag gives them.
class ArchiveMembers {
public:
    // Lists `archive` (unzip -v). False when it cannot be listed whole;
    // nothing is found then.
    bool load(const std::string& archive);
    // The members of a listing made elsewhere.
    void assign(std::vector<ArchiveMember> members);

    // The member that store path `path` names: "/" or "\" between elements,
    // "." and empty elements left out, letter case ignored, and the name in
    // any of the forms that zip on either system writes it
    // (memberNameForms). Null when the archive has none.
    const ArchiveMember* find(const std::string& path) const;

    std::size_t size() const { return members_.size(); }
    // The members named "*.msg" directly in the directory of `member`
    // (letter case ignored), and whether two of them differ only in case:
    // a pattern for the directory would then give one staged file for two.
    std::size_t messagesBeside(const ArchiveMember& member) const;
    bool casesClashBeside(const ArchiveMember& member) const;
    // Whether "*.msg" members lie in folders below the directory of `member`.
    bool messagesBelow(const ArchiveMember& member) const;

private:
    struct Directory {
        std::size_t messages = 0;
        bool casesClash = false;
        bool messagesBelow = false;
    };
    const Directory* directoryOfMember(const ArchiveMember& member) const;
    std::vector<ArchiveMember> members_;
    std::unordered_map<std::string, std::size_t> byPath_;  // folded path -> index
    std::unordered_map<std::string, Directory> directories_;  // folded directory
};

// The directory part of a member name ("" at the top) and its last element.
std::string directoryOf(const std::string& name);
std::string lastElement(const std::string& name);
// A name with ASCII letters in lower case, as the store compares names.
std::string folded(std::string name);

// Whether one unzip run should name the directory ("dir/*.msg") rather than
// its members one by one: unzip compares every member of the archive with
// every name it is given, so names cost (archive members x names); the
// pattern costs extracting the directory's other messages for nothing.
bool extractWholeDirectory(std::size_t chosen, std::size_t inDirectory, std::size_t archiveMembers);

// One batch of members extracted into a staging folder.
class StagedBatch {
public:
    // Extracts `members` (of one directory, no two with the same last
    // element in any case) from `archive` into a new staging folder inside
    // store directory `inside`: by their names, or, with `wholeDirectory`,
    // by a pattern for every message of their directory (members below it
    // left out). Each is then checked against the listing.
    // `excludeBelow` leaves the messages of the folders below out of the
    // pattern (unzip warns of an exclusion that matches nothing).
    void extract(const std::string& inside, const std::string& archive,
                 const std::vector<const ArchiveMember*>& members, bool wholeDirectory, bool excludeBelow,
                 int noiseFlag);
    bool holds(const ArchiveMember* member) const { return staged_.count(member) != 0; }
    // The staged file of `member`, when it came out whole; "" otherwise.
    std::string wholeFile(const ArchiveMember* member) const;
    // The staged file of `member` has been moved away: another index line
    // for the same member needs a batch of its own.
    void taken(const ArchiveMember* member) { staged_.erase(member); }
    // Removes the staging folder with what it still holds.
    void clear();

private:
    platform::PrivateDirectory folder_;
    std::unordered_map<const ArchiveMember*, std::string> staged_;  // "" when not whole
};
