#include "folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "error.h"

namespace {

[[noreturn]] void Raise(const std::string& what, int err) { throw Error(what + ": " + std::strerror(err)); }

EntryIdentity IdentityOf(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

bool Same(const struct stat& status, EntryIdentity identity) {
    const EntryIdentity now = IdentityOf(status);
    return now.device == identity.device && now.inode == identity.inode;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// The path's names in order; empty ones (repeated or trailing separators) dropped.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        if (end > at) names.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

}  // namespace

NewFile::NewFile(NewFile&& other) noexcept
    : fd_(other.fd_), identity_(other.identity_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

NewFile::~NewFile() {
    if (fd_ >= 0) ::close(fd_);
}

void NewFile::Write(const void* bytes, std::size_t size) {
    const auto* at = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd_, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Raise(path_ + ": cannot write the file", errno);
        at += n;
        size -= static_cast<std::size_t>(n);
    }
}

void NewFile::Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Raise(path_ + ": cannot write the file", errno);
}

Folder Folder::OpenOrMake(const std::string& path, std::vector<Made>& made) {
    Folder current(::open(path.starts_with('/') ? "/" : ".", kFolderFlags), path);
    if (current.fd_ < 0) Raise(path, errno);
    for (const std::string& name : Components(path)) {
        int fd = ::openat(current.fd_, name.c_str(), kFolderFlags);
        if (fd < 0 && errno == ENOTDIR) throw Error(path + ": exists and is not a folder");
        if (fd < 0 && errno != ENOENT) Raise(path, errno);
        if (fd < 0) {
            if (::mkdirat(current.fd_, name.c_str(), 0777) != 0) Raise(path + ": cannot create the folder", errno);
            // The folder just made, not a link someone put in its place since.
            fd = ::openat(current.fd_, name.c_str(), kFolderFlags | O_NOFOLLOW);
            if (fd < 0) Raise(path + ": cannot open the folder made", errno);
            struct stat status;
            if (::fstat(fd, &status) != 0) {
                const int err = errno;
                ::close(fd);
                Raise(path, err);
            }
            // The parent stays open, to remove the folder from again.
            Folder parent(current.fd_, path);
            current.fd_ = fd;
            made.push_back({std::move(parent), name, IdentityOf(status)});
            continue;
        }
        ::close(current.fd_);
        current.fd_ = fd;
    }
    return current;
}

Folder::Folder(Folder&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

Folder::~Folder() {
    if (fd_ >= 0) ::close(fd_);
}

bool Folder::IsEmpty() const {
    // A second descriptor: reading entries moves the position of the one it is made from.
    const int fd = ::openat(fd_, ".", kFolderFlags);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0) ::close(fd);
        Raise(path_ + ": cannot read the folder", errno);
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

NewFile Folder::CreateFile(const std::string& name) const {
    std::string path = path_.ends_with('/') ? path_ + name : path_ + "/" + name;
    const int fd = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) Raise(path + ": cannot create the file", errno);
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        const int err = errno;
        ::close(fd);
        Raise(path + ": cannot create the file", err);
    }
    return NewFile(fd, IdentityOf(status), std::move(path));
}

void Folder::RemoveIfSame(const std::string& name, EntryIdentity identity, bool isFolder) const noexcept {
    struct stat status;
    if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !Same(status, identity)) return;
    ::unlinkat(fd_, name.c_str(), isFolder ? AT_REMOVEDIR : 0);
}
