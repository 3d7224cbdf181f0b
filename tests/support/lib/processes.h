#pragma once

#include "support/lib/started_program.h"

#include <filesystem>
#include <string>

namespace qm::test {

// A directory of the test's own on the prefix's C: drive (C:\qa-<unique>),
// removed with everything below it when the object goes.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path() / relative as the program's UTF-8 text.
    std::string Text(const std::filesystem::path& relative = {}) const;

private:
    std::filesystem::path path_;
};

// Copies one of the build's programs (named by its file name beside the test
// executable) to destination, creating the directories on the way.
std::filesystem::path CopyProgram(const std::wstring& programFileName, const std::filesystem::path& destination);

// Starts a copy of the sleeper at destination; the copy ends when the
// returned object goes, unless it was ended before.
StartedProgram StartSleeperAs(const std::filesystem::path& destination);

// Creates the file with some text, and its directories.
void CreateFileWithText(const std::filesystem::path& file, const std::string& text = "x");

// The whole text of a file, or nothing while it does not exist.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

}  // namespace qm::test
