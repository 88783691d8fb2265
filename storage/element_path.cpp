#include "storage/element_path.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "storage/olestg.h"

namespace {

constexpr DWORD kChildMode = STGM_READ | STGM_SHARE_EXCLUSIVE;
constexpr std::size_t kPiece = 64 * 1024;

std::string ElementText(const std::vector<std::string>& names, std::size_t count) {
    return "\"" + JoinElementPath(std::vector<std::string>(names.begin(), names.begin() + count)) + "\"";
}

[[noreturn]] void Refuse(const std::vector<std::string>& names, std::size_t count, const std::string& why) {
    throw Error("The element " + ElementText(names, count) + ": " + why);
}

// Why `name` under `parent` could not be opened as a stream (or, with `wantStorage`, as a
// storage), asked right after the open failed with `hr`: a name that is there as the other kind
// says so.
std::string WhyNotOpened(IStorage& parent, const std::u16string& name, HRESULT hr, bool wantStorage) {
    if (hr != STG_E_FILENOTFOUND) return StorageFailureReason(hr);
    SetErrorInfo(0, nullptr);
    bool other = false;
    if (wantStorage) {
        ComPtr<IStream> stream;
        other = SUCCEEDED(parent.OpenStream(name.c_str(), nullptr, kChildMode, 0, stream.Put()));
    } else {
        ComPtr<IStorage> storage;
        other = SUCCEEDED(parent.OpenStorage(name.c_str(), nullptr, kChildMode, nullptr, 0, storage.Put()));
    }
    SetErrorInfo(0, nullptr);
    if (!other) return "no such element";
    return wantStorage ? "it is a stream, not a storage" : "it is a storage, not a stream";
}

}  // namespace

std::vector<std::string> SplitElementPath(std::string_view path) {
    std::vector<std::string> names;
    if (path.empty()) return names;
    std::size_t begin = 0;
    while (true) {
        const std::size_t slash = path.find('/', begin);
        names.emplace_back(path.substr(begin, slash == std::string_view::npos ? slash : slash - begin));
        if (slash == std::string_view::npos) return names;
        begin = slash + 1;
    }
}

std::string JoinElementPath(const std::vector<std::string>& names) {
    std::string path;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) path += '/';
        path += names[i];
    }
    return path;
}

ComPtr<IStorage> OpenFileForReading(const std::string& path) {
    ComPtr<IStorage> root;
    SetErrorInfo(0, nullptr);
    const HRESULT opened = StgOpenStorage(PathToWide(path).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                          nullptr, 0, root.Put());
    if (FAILED(opened) || !root) throw Error("Cannot open the file " + path + ": " + StorageFailureReason(opened));
    return root;
}

ComPtr<IStream> OpenStreamAt(IStorage& root, const std::vector<std::string>& names) {
    if (names.empty()) throw Error("The element \"\": the root is a storage, not a stream");
    ComPtr<IStorage> parent;
    IStorage* current = &root;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        const std::u16string name = AnsiToWide(names[i]);
        ComPtr<IStorage> child;
        SetErrorInfo(0, nullptr);
        const HRESULT opened = current->OpenStorage(name.c_str(), nullptr, kChildMode, nullptr, 0, child.Put());
        if (FAILED(opened) || !child) Refuse(names, i + 1, WhyNotOpened(*current, name, opened, true));
        parent = std::move(child);
        current = parent.Get();
    }
    const std::u16string name = AnsiToWide(names.back());
    ComPtr<IStream> stream;
    SetErrorInfo(0, nullptr);
    const HRESULT opened = current->OpenStream(name.c_str(), nullptr, kChildMode, 0, stream.Put());
    if (FAILED(opened) || !stream) Refuse(names, names.size(), WhyNotOpened(*current, name, opened, false));
    return stream;
}

std::uint64_t StreamSize(IStream& stream) {
    STATSTG stat{};
    const HRESULT hr = stream.Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) throw Error("Cannot read the stream's size: " + StorageFailureReason(hr));
    return stat.cbSize;
}

std::size_t ReadStreamAt(IStream& stream, std::uint64_t offset, void* buffer, std::size_t size) {
    SetErrorInfo(0, nullptr);
    HRESULT hr = stream.Seek(static_cast<std::int64_t>(offset), STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) throw Error("Cannot read the stream at " + std::to_string(offset) + ": " + StorageFailureReason(hr));
    std::size_t done = 0;
    while (done < size) {
        const ULONG ask = static_cast<ULONG>(std::min<std::size_t>(size - done, kPiece));
        ULONG got = 0;
        hr = stream.Read(static_cast<char*>(buffer) + done, ask, &got);
        if (FAILED(hr))
            throw Error("Cannot read the stream at " + std::to_string(offset + done) + ": " + StorageFailureReason(hr));
        if (got == 0) break;
        done += got;
    }
    return done;
}

void ProduceStream(IStream& stream, const ByteSink& put) {
    const std::uint64_t size = StreamSize(stream);
    std::string piece(static_cast<std::size_t>(std::min<std::uint64_t>(size, kPiece)), '\0');
    for (std::uint64_t offset = 0; offset < size;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, kPiece));
        const std::size_t got = ReadStreamAt(stream, offset, piece.data(), want);
        if (got == 0)
            throw Error("Cannot read the stream at " + std::to_string(offset) + ": it ends before its size, " +
                        std::to_string(size) + " bytes");
        put(std::string_view(piece.data(), got));
        offset += got;
    }
}
