// Structured storage: compound files opened as a tree of storages and streams, read-only. A root
// is opened with StgOpenStorage; each storage enumerates its elements one at a time, in the
// in-order walk of its sibling tree, and opens child storages and streams by name.
#pragma once

#include "bstr.h"
#include "guid.h"
#include "unknown.h"

// Element kinds reported in STATSTG::type.
inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STGTY_LOCKBYTES = 3;
inline constexpr DWORD STGTY_PROPERTY = 4;

// Access and sharing modes.
inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_DIRECT = 0x00000000;

// Stat flags.
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;

// Seek origins.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// One element as an enumeration or Stat reports it. pwcsName is task memory that the receiver
// frees with CoTaskMemFree (null with STATFLAG_NONAME).
struct STATSTG {
    LPWSTR pwcsName = nullptr;
    DWORD type = 0;
    std::uint64_t cbSize = 0;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode = 0;
    DWORD grfLocksSupported = 0;
    CLSID clsid;
    DWORD grfStateBits = 0;
    DWORD reserved = 0;
};

inline constexpr IID IID_IStream = MakeGuid("{0000000C-0000-0000-C000-000000000046}");
inline constexpr IID IID_IStorage = MakeGuid("{0000000B-0000-0000-C000-000000000046}");
inline constexpr IID IID_IEnumSTATSTG = MakeGuid("{0000000D-0000-0000-C000-000000000046}");

struct IEnumSTATSTG : IUnknown {
    // Fetches up to `count` elements. S_OK when all were delivered; S_FALSE with fewer (at the
    // end: none fetched and the records zeroed); a failure code where the directory is damaged.
    // `fetched` may be null only when count is 1.
    virtual HRESULT Next(ULONG count, STATSTG* elements, ULONG* fetched) = 0;

protected:
    ~IEnumSTATSTG() = default;
};

struct IStream : IUnknown {
    // Reads up to `size` bytes from the current position; S_OK with fewer at the end of the
    // stream; STG_E_READFAULT or STG_E_DOCFILECORRUPT where its sector chain is damaged.
    virtual HRESULT Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t* newPosition) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD statFlag) = 0;

protected:
    ~IStream() = default;
};

struct IStorage : IUnknown {
    // `reserved1` must be null and `reserved2` 0; mode must include STGM_SHARE_EXCLUSIVE.
    virtual HRESULT OpenStream(LPCWSTR name, void* reserved1, DWORD mode, DWORD reserved2,
                               IStream** stream) = 0;
    // `priority` and `exclude` must be null, `reserved` 0; mode must include
    // STGM_SHARE_EXCLUSIVE. STG_E_FILENOTFOUND when no storage of that name is a child.
    virtual HRESULT OpenStorage(LPCWSTR name, IStorage* priority, DWORD mode, LPWSTR* exclude,
                                DWORD reserved, IStorage** storage) = 0;
    // The reserved arguments must be 0, null and 0.
    virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                                 IEnumSTATSTG** enumerator) = 0;
    virtual HRESULT Stat(STATSTG* stat, DWORD statFlag) = 0;

protected:
    ~IStorage() = default;
};

// S_OK exactly when the file starts with the compound file signature; S_FALSE for any other
// readable file (an empty one included); STG_E_FILENOTFOUND (or another STG_E_ code) when the
// file cannot be opened for reading.
HRESULT StgIsStorageFile(LPCWSTR path);

// Opens the root storage of a compound file. `priority` and `exclude` must be null and
// `reserved` 0. The file is never written. STGM_READWRITE fails with STG_E_ACCESSDENIED where
// the file cannot be opened for writing or carries no write permission bit at all; exclusive
// sharing fails with STG_E_SHAREVIOLATION where another holder has the file open with sharing
// that excludes it. A damaged header or allocation table fails the open.
HRESULT StgOpenStorage(LPCWSTR path, IStorage* priority, DWORD mode, LPWSTR* exclude,
                       DWORD reserved, IStorage** storage);
