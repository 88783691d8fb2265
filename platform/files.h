// File services: the current directory, existence tests, path expansion and whole-file reads and
// writes. Failures raise Error with a text that names the file and the system's reason.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The current directory, without a trailing separator (but "/" for the root).
std::string GetCurrentDir();

// Changes the current directory; raises Error("Cannot change the current directory to D: why").
void ChangeDir(const std::string& dir);

// True when the path names an existing regular file (not a directory).
bool FileExists(const std::string& path);

// The full path of `name` against the current directory, with "." and ".." segments resolved
// lexically and repeated separators folded; links are not followed.
std::string ExpandFileName(const std::string& name);

// Whether both paths name one existing file, links followed: the same device and inode.
bool SameFile(const std::string& a, const std::string& b);

// The directory part of a path, up to and including its last separator; "" when it has none.
std::string ExtractFilePath(const std::string& path);

// The file part of a path, after its last separator.
std::string ExtractFileName(const std::string& path);

// True when the program's standard output is a terminal.
bool StandardOutputIsTerminal();
// True when the program's standard error is a terminal.
bool StandardErrorIsTerminal();

// The size in bytes of the file at `path`; nothing when it cannot be found.
std::optional<std::uint64_t> FileSize(const std::string& path);

// The whole content of a file; raises Error("Cannot read the file F: why").
std::string ReadWholeFile(const std::string& path);

// Replaces (or creates) the file with `bytes`. A symbolic link stays a link: the file it ends at
// is written. The bytes go to a temporary file in that file's folder, which takes the old file's
// permission bits and owner and is then renamed over it, so a failed write leaves an earlier file
// as it was. Where the folder allows no new file (or the owner cannot be kept) an existing file
// is overwritten where it is, its space claimed first. Raises Error("Cannot write the file F:
// why"), saying which of the two ways failed and why.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// A source of bytes written piece by piece: it hands every piece, in order, to the sink it is
// given, and may be run more than once with the same result. It raises Error when its own source
// cannot be read.
using ByteSink = std::function<void(std::string_view)>;
using ByteProducer = std::function<void(const ByteSink&)>;

// WriteFileAtomically for content too large to hold at once: `size` bytes (space is claimed for
// them) from `produce`. An Error the producer raises leaves an earlier file as it was.
void WriteFileAtomically(const std::string& path, std::uint64_t size, const ByteProducer& produce);
