// StgIsStorageFile and StgOpenStorage: the file-system side of the reader. Paths arrive as
// UTF-16 and are opened as the bytes they came from (PathToWide). Sharing modes become advisory locks (flock),
// so they hold against every holder that takes such locks, this program's other opens included.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/storage.h"
#include "platform/cfb/compound_file.h"
#include "platform/cfb/open_modes.h"
#include "platform/cfb/storage_objects.h"

namespace {

using cfb::kAccessMask;
using cfb::kShareMask;

bool DirectoryMissing(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return false;
    struct stat st;
    return stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

HRESULT OpenFailure(int error, const std::string& path) {
    switch (error) {
        case ENOENT: return DirectoryMissing(path) ? STG_E_PATHNOTFOUND : STG_E_FILENOTFOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return STG_E_PATHNOTFOUND;
        case EISDIR: return E_DIRECTORY;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY: return STG_E_ACCESSDENIED;
        case EMFILE:
        case ENFILE: return STG_E_TOOMANYOPENFILES;
        case ENOMEM: return STG_E_INSUFFICIENTMEMORY;
        default: return STG_E_FILENOTFOUND;
    }
}

// Opens a regular file. Non-blocking, so that a FIFO named by mistake cannot hang the open. A
// folder gets a code of its own, so that callers can say so; anything else that is not a regular
// file (a device, a FIFO) is refused as access denied.
HRESULT OpenRegularFile(const std::string& path, int flags, int* fd, struct stat* st) {
    const int f = open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (f < 0) return OpenFailure(errno, path);
    if (fstat(f, st) != 0 || !S_ISREG(st->st_mode)) {
        const bool folder = S_ISDIR(st->st_mode);
        close(f);
        return folder ? E_DIRECTORY : STG_E_ACCESSDENIED;
    }
    *fd = f;
    return S_OK;
}

HRESULT CheckOpenMode(DWORD mode) {
    if (!cfb::IsKnownMode(mode)) return STG_E_INVALIDFLAG;
    const DWORD share = mode & kShareMask;
    if (share != 0 && share != STGM_SHARE_EXCLUSIVE && share != STGM_SHARE_DENY_WRITE &&
        share != STGM_SHARE_DENY_READ && share != STGM_SHARE_DENY_NONE)
        return STG_E_INVALIDFLAG;
    // Without transactions, writing access needs the file to itself.
    if ((mode & kAccessMask) != STGM_READ && share != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
    return S_OK;
}

// flock cannot deny reading alone, so denying reading excludes every other holder as well.
HRESULT LockForSharing(int fd, DWORD mode) {
    int operation;
    switch (mode & kShareMask) {
        case STGM_SHARE_EXCLUSIVE:
        case STGM_SHARE_DENY_READ: operation = LOCK_EX; break;
        case STGM_SHARE_DENY_WRITE: operation = LOCK_SH; break;
        default: return S_OK;
    }
    while (flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? STG_E_SHAREVIOLATION : STG_E_LOCKVIOLATION;
    }
    return S_OK;
}

// S_OK when the open file begins with a whole header carrying the signature, S_FALSE when it
// does not, STG_E_READFAULT when it cannot be read.
HRESULT HasCompoundFileHeader(int fd) {
    unsigned char header[cfb::kHeaderSize];
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = pread(fd, header + got, sizeof header - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return STG_E_READFAULT;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof header) return S_FALSE;
    return std::memcmp(header, cfb::kSignature, sizeof cfb::kSignature) == 0 ? S_OK : S_FALSE;
}

}  // namespace

HRESULT StgIsStorageFile(LPCWSTR path) {
    if (!path) return STG_E_INVALIDNAME;
    const std::string name = WideToPath(path);
    int fd;
    struct stat st;
    if (HRESULT hr = OpenRegularFile(name, O_RDONLY, &fd, &st); FAILED(hr)) return hr;
    const HRESULT result = HasCompoundFileHeader(fd);
    close(fd);
    return result;
}

HRESULT StgOpenStorage(LPCWSTR path, IStorage* priority, DWORD mode, LPWSTR* exclude,
                       DWORD reserved, IStorage** storage) {
    // A refusal from an earlier file must not pass for this one's.
    SetErrorInfo(0, nullptr);
    if (!storage) return STG_E_INVALIDPOINTER;
    *storage = nullptr;
    if (!path) return STG_E_INVALIDNAME;
    if (priority || exclude || reserved) return STG_E_INVALIDPARAMETER;
    if (HRESULT hr = CheckOpenMode(mode); FAILED(hr)) return hr;

    // Opened for writing only to prove that it could be: the reader never writes a byte.
    const bool writing = (mode & kAccessMask) != STGM_READ;
    const std::string name = WideToPath(path);
    int fd;
    struct stat st;
    if (HRESULT hr = OpenRegularFile(name, writing ? O_RDWR : O_RDONLY, &fd, &st); FAILED(hr))
        return hr;
    // A file with no write permission bit is read-only even for a user (root) whom the
    // system would let write it.
    HRESULT hr = writing && (st.st_mode & 0222) == 0 ? STG_E_ACCESSDENIED : LockForSharing(fd, mode);
    if (FAILED(hr)) {
        close(fd);
        return hr;
    }
    std::shared_ptr<cfb::CompoundFile> file;
    if (hr = cfb::CompoundFile::Open(fd, &file); FAILED(hr)) return hr;
    IStorage* root = cfb::NewRootStorage(std::move(file), mode);
    if (!root) return E_OUTOFMEMORY;
    *storage = root;
    return S_OK;
}
