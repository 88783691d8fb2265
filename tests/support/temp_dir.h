// A fresh directory under the system's temporary folder, removed with everything in it when the
// test ends. Also restores the current directory, which the commands under test change.
#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/files.h"

class TempDir {
public:
    // Throws Error when the folder cannot be made (an unwritable TMPDIR, say), which fails the
    // test that asked for it with the reason instead of letting it run on without a folder.
    TempDir() : previous_(GetCurrentDir()) {
        const std::filesystem::path parent = std::filesystem::temp_directory_path();
        std::string pattern = (parent / "quorvel-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw Error("Cannot create a temporary folder in " + parent.string() + ": " +
                        std::strerror(errno));
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    // With a trailing separator.
    std::string Path() const { return path_ + "/"; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes the file `name` in the folder; returns its path.
    std::string Write(const std::string& name, std::string_view bytes) const {
        WriteFileAtomically(File(name), bytes);
        return File(name);
    }

private:
    std::string previous_;
    std::string path_;
};
