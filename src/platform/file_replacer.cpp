#include "platform/file_replacer.h"

#include <memory>
#include <random>

#include "text/ascii.h"

namespace qm {
namespace {

constexpr std::string_view kMarker = ".qm-";
constexpr std::string_view kSuffix = ".tmp";
constexpr int kNameAttempts = 8;
// Another program (a reader, a virus scanner) may hold either file for a
// moment, which blocks the rename; a second covers such a look.
constexpr int kMoveAttempts = 40;
constexpr unsigned kMovePauseMilliseconds = 25;

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

std::string ReplacementName(std::string_view original, std::uint32_t number) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(original);
    name += kMarker;
    for (int shift = 28; shift >= 0; shift -= 4) name += kHex[(number >> shift) & 0xF];
    name += kSuffix;
    return name;
}

bool KeptOrNone(const FileStatus& status) { return status.Done() || status.outcome == FileOutcome::Unsupported; }

std::string Failure(std::string_view what, const std::string& path, const FileStatus& status) {
    return std::string(what) + " " + path + " (error " + std::to_string(status.code) + ")";
}

// Up to and with the last separator of either kind, so that the new file
// lands in the same directory, on the same volume, as the old one.
std::string DirectoryOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

}  // namespace

bool IsReplacementOf(std::string_view name, std::string_view original) {
    if (name.size() != original.size() + kMarker.size() + 8 + kSuffix.size()) return false;
    // File names on Windows ignore case: "Server.XML" and "server.xml" are one.
    if (!text::StartsFolded(name, original)) return false;
    name.remove_prefix(original.size());
    if (!name.starts_with(kMarker) || !name.ends_with(kSuffix)) return false;
    const std::string_view number = name.substr(kMarker.size(), 8);
    for (char c : number)
        if (!IsHexDigit(c)) return false;
    return true;
}

ReplaceOutcome WholeFileReplacer::Replace(const std::string& path, std::string_view bytes, std::string& reason) {
    FileFacts facts;
    if (const FileStatus status = files_.Inspect(path, facts); !status.Done()) {
        reason = Failure("cannot read the attributes of", path, status);
        return ReplaceOutcome::Failed;
    }
    if (!facts.exists) {
        reason = path + " does not exist";
        return ReplaceOutcome::Failed;
    }
    if (facts.directory) {
        reason = path + " is a directory";
        return ReplaceOutcome::Failed;
    }
    if (facts.readOnly) {
        reason = path + " is read-only";
        return ReplaceOutcome::Failed;
    }
    if (facts.names > 1) {
        reason = path + " has " + std::to_string(facts.names) + " names (hard links)";
        return ReplaceOutcome::HasOtherNames;
    }
    // From here on the file where it really is: a rename onto a symbolic link
    // would put a plain file in the link's place and leave the real one old.
    const std::string& target = facts.finalPath.empty() ? path : facts.finalPath;
    return ReplaceFile(target, bytes, reason) ? ReplaceOutcome::Replaced : ReplaceOutcome::Failed;
}

bool WholeFileReplacer::ReplaceFile(const std::string& path, std::string_view bytes, std::string& reason) {
    const std::string directory = DirectoryOf(path);
    const std::string name = path.substr(directory.size());
    // What a save cut short left. One that cannot go now stays for the next.
    for (const std::string& entry : files_.NamesIn(directory))
        if (IsReplacementOf(entry, name)) files_.Remove(directory + entry);

    std::string temporary;
    std::unique_ptr<NewFile> file;
    FileStatus created;
    std::random_device numbers;
    for (int attempt = 0; attempt < kNameAttempts && !file; ++attempt) {
        temporary = directory + ReplacementName(name, numbers());
        file = files_.CreateNew(temporary, path, created);
        if (!file && created.outcome != FileOutcome::NameTaken) break;
    }
    if (!file) {
        reason = Failure("cannot create a new file beside", path, created);
        return false;
    }

    const auto abandon = [&](std::string_view what, const FileStatus& status) {
        file.reset();
        files_.Remove(temporary);
        reason = Failure(what, path, status);
        return false;
    };
    if (const FileStatus status = file->Write(bytes); !status.Done())
        return abandon("cannot write the new contents of", status);
    // What the file system does not have, the old file did not have either.
    if (const FileStatus status = file->TakeAttributesOf(path); !KeptOrNone(status))
        return abandon("cannot keep the attributes of", status);
    // Only a user with the right to restore files may give a file to somebody
    // else; for anyone else the new file is theirs, as a file they wrote anew
    // would be, with the old one's access rules.
    file->TakeOwnerOf(path);
    // The bytes must be on the disk before the name points at them, or a crash
    // right after the rename could leave an empty server.xml.
    if (const FileStatus status = file->Flush(); !status.Done())
        return abandon("cannot flush the new contents of", status);
    file.reset();

    FileStatus moved = files_.MoveOver(temporary, path);
    for (int attempt = 1; attempt < kMoveAttempts && moved.outcome == FileOutcome::InUse; ++attempt) {
        files_.Pause(kMovePauseMilliseconds);
        moved = files_.MoveOver(temporary, path);
    }
    if (moved.Done()) return true;
    reason = Failure("cannot put the new contents in place of", path, moved);
    // The new file goes only while the old one is known to be there: should a
    // failed rename ever have taken the old one away, the new one is all that
    // is left of the file.
    FileFacts after;
    if (files_.Inspect(path, after).Done() && after.exists) {
        files_.Remove(temporary);
    } else {
        reason += "; the new contents are in " + temporary;
    }
    return false;
}

}  // namespace qm
