#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    auto fail = [&](int err) { return Error("Cannot write the file " + path + ": " + Reason(err)); };
    // A fixed short name, so that a target name of the longest length a folder allows still has
    // a temporary beside it.
    std::string temp = ExtractFilePath(path) + ".quorvel-save-XXXXXX";
    std::vector<char> pattern(temp.begin(), temp.end());
    pattern.push_back('\0');
    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.Get() < 0) throw fail(errno);
    const std::string tempPath = pattern.data();
    auto discard = [&](int err) {
        ::unlink(tempPath.c_str());
        return fail(err);
    };
    // mkstemp creates the file 0600; saved lists are ordinary documents.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.Get(), 0666 & ~mask);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw discard(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.Get()) != 0) throw discard(errno);
    if (::close(fd.Release()) != 0) throw discard(errno);
    if (::rename(tempPath.c_str(), path.c_str()) != 0) throw discard(errno);
}
