// Fuzzes the compound-file reader through its public interfaces: the compound-file test, the
// root open, enumeration of every storage, and stream opens, seeks and reads to the end; then
// the storage listing in the checker's way, its messages worded. The input is handed over as a file in memory
// (memfd), since the reader opens files by path.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/storage.h"
#include "storage/olestg.h"
#include "memory_file.h"

namespace {

void ReadToEnd(IStorage* storage, const char16_t* name) {
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, STGM_SHARE_EXCLUSIVE, 0, stream.Put()))) return;
    STATSTG stat;
    if (SUCCEEDED(stream->Stat(&stat, STATFLAG_DEFAULT))) CoTaskMemFree(stat.pwcsName);
    std::uint64_t end = 0;
    stream->Seek(-7, STREAM_SEEK_END, &end);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    char buffer[4096];
    for (;;) {
        ULONG got = 0;
        if (FAILED(stream->Read(buffer, sizeof buffer, &got)) || got == 0) return;
    }
}

// Depth-first over the storages with an explicit stack: nesting can be as deep as the file has
// entries.
void WalkAll(ComPtr<IStorage> root) {
    std::vector<ComPtr<IStorage>> pending{std::move(root)};
    while (!pending.empty()) {
        ComPtr<IStorage> storage = std::move(pending.back());
        pending.pop_back();
        ComPtr<IEnumSTATSTG> elements;
        if (FAILED(storage->EnumElements(0, nullptr, 0, elements.Put()))) continue;
        STATSTG batch[3];
        ULONG fetched = 0;
        HRESULT hr;
        do {
            hr = elements->Next(3, batch, &fetched);
            for (ULONG i = 0; i < fetched; ++i) {
                if (batch[i].type == STGTY_STORAGE) {
                    ComPtr<IStorage> child;
                    if (SUCCEEDED(storage->OpenStorage(batch[i].pwcsName, nullptr, STGM_SHARE_EXCLUSIVE,
                                                       nullptr, 0, child.Put())))
                        pending.push_back(std::move(child));
                } else {
                    ReadToEnd(storage.Get(), batch[i].pwcsName);
                }
                CoTaskMemFree(batch[i].pwcsName);
            }
        } while (hr == S_OK);
    }
}

class SilentPrompts : public Prompts {
public:
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string&) override {}
    bool ConfirmYesCancel(const std::string&) override { return true; }
    std::optional<std::string> ChooseCharacterFile(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return std::nullopt; }
};

// The listing's lines are only counted: what matters is that every file is walked safely.
class CountingSink final : public ListingSink {
public:
    void Line(std::string_view line) override { bytes_ += line.size(); }

private:
    std::size_t bytes_ = 0;
};

void List(const std::string& path) {
    SilentPrompts prompts;
    CountingSink sink;
    try {
        ListStorageFile(path, prompts, sink, kReadOnlyListing);
    } catch (const Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string path = MemoryFile(data, size);
    if (path.empty()) return 0;
    StgIsStorageFile(path.c_str());
    ComPtr<IStorage> root;
    if (SUCCEEDED(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                 root.Put())))
        WalkAll(std::move(root));
    List(WideToAnsi(path));
    return 0;
}
