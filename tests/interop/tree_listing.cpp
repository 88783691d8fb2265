#include "tree_listing.h"

#include <utility>

#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/storage.h"

namespace {

std::string ReadAll(IStorage& parent, const std::u16string& name, std::uint64_t size) {
    ComPtr<IStream> stream;
    CheckResult(
        parent.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put()),
        "OpenStream " + WideToAnsi(name));
    std::string content;
    char buffer[65536];
    for (;;) {
        ULONG read = 0;
        CheckResult(stream->Read(buffer, sizeof buffer, &read), "Read " + WideToAnsi(name));
        if (read == 0) break;
        content.append(buffer, read);
        // A reader that keeps returning data past the declared size is broken; stop there.
        if (content.size() > size) break;
    }
    return content;
}

// One storage being listed: its enumerator and how deep its children sit.
struct Level {
    ComPtr<IStorage> storage;
    ComPtr<IEnumSTATSTG> elements;
    int depth;
};

}  // namespace

std::vector<ListedElement> ListTree(const std::string& path) {
    ComPtr<IStorage> root;
    CheckResult(StgOpenStorage(AnsiToWide(path).c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                               nullptr, 0, root.Put()),
                "StgOpenStorage " + path);
    std::vector<ListedElement> listing;
    std::vector<Level> stack;
    stack.push_back(Level{root, {}, 0});
    CheckResult(root->EnumElements(0, nullptr, 0, stack.back().elements.Put()), "EnumElements");
    while (!stack.empty()) {
        STATSTG stat;
        ULONG fetched = 0;
        const HRESULT hr = CheckResult(stack.back().elements->Next(1, &stat, &fetched), "Next");
        if (hr != S_OK || fetched != 1) {
            stack.pop_back();
            continue;
        }
        ListedElement element;
        element.depth = stack.back().depth;
        element.isStorage = stat.type == STGTY_STORAGE;
        element.name = stat.pwcsName ? std::u16string(stat.pwcsName) : std::u16string();
        element.size = stat.cbSize;
        CoTaskMemFree(stat.pwcsName);
        IStorage& parent = *stack.back().storage.Get();
        if (element.isStorage) {
            Level child{{}, {}, element.depth + 1};
            CheckResult(
                parent.OpenStorage(element.name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                   nullptr, 0, child.storage.Put()),
                "OpenStorage " + WideToAnsi(element.name));
            CheckResult(child.storage->EnumElements(0, nullptr, 0, child.elements.Put()),
                        "EnumElements " + WideToAnsi(element.name));
            listing.push_back(std::move(element));
            stack.push_back(std::move(child));
        } else {
            element.content = ReadAll(parent, element.name, element.size);
            listing.push_back(std::move(element));
        }
    }
    return listing;
}
