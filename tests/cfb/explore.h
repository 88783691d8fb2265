// Walks a whole compound file through the public storage interfaces, opening every storage and
// reading every stream, and describes what it met as one line, e.g.
//   [S[a:10=ok] Big:4096=ok]
// A storage is its name and its elements in brackets; a stream is name:size=ok, or the code of
// its failed open or read; an element of another type is name#type; "!code" is a failed
// EnumElements ("!enum code") or Next; "open code" a failed StgOpenStorage.
#pragma once

#include <string>

#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/storage.h"

namespace explore {

inline std::string Code(HRESULT hr) { return HResultHex(hr); }

inline std::string ReadAll(IStorage* storage, const STATSTG& element) {
    ComPtr<IStream> stream;
    if (HRESULT hr = storage->OpenStream(element.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE, 0, stream.Put());
        FAILED(hr))
        return Code(hr);
    char buffer[1024];
    // A stream cannot yield more than its size; the bound only guards this test code.
    for (std::uint64_t calls = 0; calls <= element.cbSize / sizeof buffer + 1; ++calls) {
        ULONG got = 0;
        if (HRESULT hr = stream->Read(buffer, sizeof buffer, &got); FAILED(hr)) return Code(hr);
        if (got == 0) return "ok";
    }
    return "endless";
}

inline std::string Storage(IStorage* storage) {
    ComPtr<IEnumSTATSTG> elements;
    if (HRESULT hr = storage->EnumElements(0, nullptr, 0, elements.Put()); FAILED(hr))
        return "[!enum " + Code(hr) + "]";
    std::string text = "[";
    auto add = [&](const std::string& item) { text += (text.size() > 1 ? " " : "") + item; };
    for (;;) {
        STATSTG element;
        ULONG fetched = 0;
        const HRESULT hr = elements->Next(1, &element, &fetched);
        if (FAILED(hr)) {
            add("!" + Code(hr));
            break;
        }
        if (hr != S_OK) break;
        std::string item = WideToAnsi(element.pwcsName);
        if (element.type == STGTY_STORAGE) {
            ComPtr<IStorage> child;
            const HRESULT open = storage->OpenStorage(element.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE,
                                                      nullptr, 0, child.Put());
            item += FAILED(open) ? "!" + Code(open) : Storage(child.Get());
        } else if (element.type == STGTY_STREAM) {
            item += ":" + std::to_string(element.cbSize) + "=" + ReadAll(storage, element);
        } else {
            item += "#" + std::to_string(element.type);
        }
        CoTaskMemFree(element.pwcsName);
        add(item);
    }
    return text + "]";
}

inline std::string File(const std::string& path) {
    ComPtr<IStorage> root;
    const std::u16string wide = AnsiToWide(path);
    if (HRESULT hr = StgOpenStorage(wide.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                    nullptr, 0, root.Put());
        FAILED(hr))
        return "open " + Code(hr);
    return Storage(root.Get());
}

}  // namespace explore
