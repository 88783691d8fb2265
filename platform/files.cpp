#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "error.h"

namespace {

std::string Reason(int err) { return std::strerror(err); }

// Closes a descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Get() const { return fd_; }
    int Release() { int fd = fd_; fd_ = -1; return fd; }

private:
    int fd_;
};

}  // namespace

std::string GetCurrentDir() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE || buffer.size() > (1u << 20))
            throw Error("Cannot read the current directory: " + Reason(errno));
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

void ChangeDir(const std::string& dir) {
    if (::chdir(dir.c_str()) != 0)
        throw Error("Cannot change the current directory to " + dir + ": " + Reason(errno));
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string ExpandFileName(const std::string& name) {
    std::string joined = !name.empty() && name[0] == '/' ? name : GetCurrentDir() + "/" + name;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string full;
    for (const auto& part : parts) full += "/" + part;
    if (full.empty()) full = "/";
    // A trailing separator on the input names a directory; keep it so that callers can tell.
    if (joined.size() > 1 && joined.back() == '/' && full != "/") full += '/';
    return full;
}

std::string ExtractFilePath(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }
bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || st.st_size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::string ReadWholeFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) throw Error("Cannot read the file " + path + ": " + Reason(errno));
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Error("Cannot read the file " + path + ": not a regular file");
    std::string content;
    content.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Error("Cannot read the file " + path + ": " + Reason(errno));
        }
        if (n == 0) break;
        content.append(chunk, static_cast<std::size_t>(n));
    }
    return content;
}

namespace {

// Symbolic links followed before a chain counts as a loop, as the system's own limit.
constexpr int kMaxLinkHops = 40;

// The file a chain of symbolic links ends at; the path itself when it is no link. A link whose
// target does not exist yet ends at that target, which a save then creates.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n < 0) throw Error("Cannot write the file " + path + ": " + Reason(errno));
        if (static_cast<std::size_t>(n) >= target.size())
            throw Error("Cannot write the file " + path + ": its link changed while it was read");
        const std::string link(target.data(), static_cast<std::size_t>(n));
        current = !link.empty() && link[0] == '/' ? link : ExtractFilePath(current) + link;
    }
    throw Error("Cannot write the file " + path + ": " + Reason(ELOOP));
}

// Writes every byte at the descriptor's position; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes what `produce` gives at the descriptor's position and counts it into `written`; returns
// 0 or the errno of the write that failed. An Error the producer raises leaves it.
int WriteProduced(int fd, const ByteProducer& produce, std::uint64_t& written) {
    int err = 0;
    written = 0;
    produce([&](std::string_view bytes) {
        if (err != 0) return;
        if (WriteAll(fd, bytes)) written += bytes.size();
        else err = errno;
    });
    return err;
}

// Overwrites an existing file through its own descriptor, for a folder that allows no new file
// beside it. The content is produced once without writing, so that a source that cannot be read
// fails before a byte changes, and space for it is claimed first, so a full disk leaves the old
// content whole; returns 0 or the errno of the step that failed.
int OverwriteInPlace(const std::string& target, std::uint64_t size, const ByteProducer& produce) {
    produce([](std::string_view) {});
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.Get() < 0) return errno;
    if (size > 0) {
        const int claimed = ::posix_fallocate(fd.Get(), 0, static_cast<off_t>(size));
        if (claimed != 0 && claimed != EOPNOTSUPP && claimed != EINVAL) return claimed;
    }
    std::uint64_t written = 0;
    if (const int err = WriteProduced(fd.Get(), produce, written); err != 0) return err;
    if (::ftruncate(fd.Get(), static_cast<off_t>(written)) != 0) return errno;
    if (::fsync(fd.Get()) != 0) return errno;
    if (::close(fd.Release()) != 0) return errno;
    return 0;
}

// Creates a new file in `folder` (with its trailing separator; empty for the current one) under a
// fixed short name with a random tail, so that a target name of the longest length a folder
// allows still has a temporary beside it. Opened close-on-exec, so that no program started
// meanwhile inherits it. Returns the descriptor, or -1 with errno set.
int CreateTemporary(const std::string& folder, mode_t mode, std::string& path) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    constexpr int kAttempts = 100;
    std::random_device random;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        path = folder + ".quorvel-save-";
        for (int i = 0; i < 6; ++i) path += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool CannotCreateHere(int err) { return err == EACCES || err == EPERM || err == EROFS; }

}  // namespace

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    WriteFileAtomically(path, bytes.size(), [bytes](const ByteSink& put) { put(bytes); });
}

void WriteFileAtomically(const std::string& path, std::uint64_t size, const ByteProducer& produce) {
    auto fail = [&](const std::string& why) { return Error("Cannot write the file " + path + ": " + why); };
    const std::string target = FollowLinks(path);
    struct stat existing;
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) throw fail("it is not a regular file");

    // A replacement starts private to us and takes the old file's bits once its owner is set; a
    // new file is created with the usual bits of a document, less the umask, as any new file is.
    const std::string folder = ExtractFilePath(target);
    std::string tempPath;
    FileDescriptor fd(CreateTemporary(folder, exists ? 0600 : 0666, tempPath));
    if (fd.Get() < 0) {
        const int createError = errno;
        if (!exists || !CannotCreateHere(createError)) throw fail(Reason(createError));
        const int overwriteError = OverwriteInPlace(target, size, produce);
        if (overwriteError != 0)
            throw fail("its folder allows no new file (" + Reason(createError) +
                       ") and the file itself cannot be overwritten (" + Reason(overwriteError) + ")");
        return;
    }
    auto discard = [&](int err) {
        ::unlink(tempPath.c_str());
        return fail(Reason(err));
    };
    if (exists) {
        struct stat made;
        if (::fstat(fd.Get(), &made) == 0 && (made.st_uid != existing.st_uid || made.st_gid != existing.st_gid) &&
            ::fchown(fd.Get(), existing.st_uid, existing.st_gid) != 0) {
            // Renaming our file over it would hand the file to us; write it where it is instead.
            ::unlink(tempPath.c_str());
            const int overwriteError = OverwriteInPlace(target, size, produce);
            if (overwriteError != 0) throw fail(Reason(overwriteError));
            return;
        }
        if (::fchmod(fd.Get(), existing.st_mode & 07777) != 0) throw discard(errno);
    }
    std::uint64_t written = 0;
    int writeError = 0;
    try {
        writeError = WriteProduced(fd.Get(), produce, written);
    } catch (const Error&) {
        ::unlink(tempPath.c_str());
        throw;
    }
    if (writeError != 0) throw discard(writeError);
    if (::fsync(fd.Get()) != 0) throw discard(errno);
    if (::close(fd.Release()) != 0) throw discard(errno);
    if (::rename(tempPath.c_str(), target.c_str()) != 0) throw discard(errno);
}
