// A fresh directory under the system's temporary folder, removed with everything in it when the
// test ends. Also restores the current directory, which the commands under test change.
#pragma once

#include <filesystem>
#include <string>

#include "platform/files.h"

class TempDir {
public:
    TempDir() : previous_(GetCurrentDir()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
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

private:
    std::string previous_;
    std::string path_;
};
