// Round trip through our writer and reader: the input describes a tree (names from an alphabet
// with non-ASCII and control units, up to the longest allowed; stream sizes on both sides of
// the mini stream cutoff; deep or wide nesting; either sibling shape). The writer writes it and
// the reader must give it back exactly: every name, type, size and byte, each storage's elements
// in the format's name order. Any difference aborts.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cfb/format.h"
#include "platform/cfb/writer.h"
#include "platform/error.h"
#include "platform/storage.h"
#include "memory_file.h"

namespace {

using cfb::CompoundFileWriter;

struct Element {
    std::u16string name;
    bool isStorage = false;
    std::string content;
    std::vector<CompoundFileWriter::EntryId> children;
};

constexpr char16_t kAlphabet[] = {u'A', u'b', u'z', u'0', u' ', u'.', 0x01, 0x1F, 0xE9, 0xC9, 0xFF, 0x178,
                                  0x3A9, 0x3C9, 0x4E2D, 0xD83D, 0xDE00, 0xFF41};
constexpr std::size_t kSizes[] = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 8192};
// Read sizes on both sides of the mini sector and sector sizes; none so small that reading a
// stream takes thousands of calls.
constexpr std::size_t kReadSizes[] = {61, 64, 65, 511, 512, 513, 4095, 4096, 9000};
constexpr std::size_t kMaxElements = 300;
constexpr std::size_t kMaxTotalBytes = 32 * 1024;

std::u16string MakeName(FuzzedDataProvider& in) {
    const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(1, cfb::kMaxNameUnits);
    std::u16string name;
    for (std::size_t i = 0; i < length; ++i) name += in.PickValueInArray(kAlphabet);
    return name;
}

std::string MakeContent(FuzzedDataProvider& in, std::size_t budget) {
    std::size_t size = in.ConsumeBool() ? in.PickValueInArray(kSizes) : in.ConsumeIntegralInRange<std::size_t>(0, 20000);
    size = std::min(size, budget);
    const unsigned seed = in.ConsumeIntegral<std::uint8_t>();
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(seed + i * 131 + i / 7);
    return content;
}

void Check(bool sound) {
    if (!sound) std::abort();
}

std::string ReadAll(IStorage* storage, const std::u16string& name, std::size_t chunk) {
    ComPtr<IStream> stream;
    Check(SUCCEEDED(storage->OpenStream(name.c_str(), nullptr, STGM_SHARE_EXCLUSIVE, 0, stream.Put())));
    std::string text, buffer(chunk, '\0');
    for (;;) {
        ULONG got = 0;
        Check(SUCCEEDED(stream->Read(buffer.data(), static_cast<ULONG>(chunk), &got)));
        if (got == 0) return text;
        Check(text.size() + got <= kMaxTotalBytes);
        text.append(buffer, 0, got);
    }
}

// Compares what the reader lists under each storage with the elements written there, with an
// explicit stack: the tree may nest as deep as it has elements.
void CompareTree(ComPtr<IStorage> root, const std::vector<Element>& elements, std::size_t chunk) {
    std::vector<std::pair<ComPtr<IStorage>, CompoundFileWriter::EntryId>> pending;
    pending.emplace_back(std::move(root), CompoundFileWriter::kRoot);
    while (!pending.empty()) {
        auto [storage, id] = std::move(pending.back());
        pending.pop_back();
        std::vector<CompoundFileWriter::EntryId> expected = elements[id].children;
        std::sort(expected.begin(), expected.end(), [&](auto a, auto b) {
            return cfb::CompareNames(elements[a].name, elements[b].name) < 0;
        });
        ComPtr<IEnumSTATSTG> listed;
        Check(SUCCEEDED(storage->EnumElements(0, nullptr, 0, listed.Put())));
        for (std::size_t i = 0;; ++i) {
            STATSTG stat;
            ULONG fetched = 0;
            const HRESULT hr = listed->Next(1, &stat, &fetched);
            Check(SUCCEEDED(hr));
            if (hr != S_OK) {
                Check(i == expected.size());
                break;
            }
            const std::u16string name = stat.pwcsName;
            CoTaskMemFree(stat.pwcsName);
            Check(i < expected.size());
            const Element& want = elements[expected[i]];
            Check(name == want.name);
            Check(stat.type == static_cast<DWORD>(want.isStorage ? STGTY_STORAGE : STGTY_STREAM));
            if (want.isStorage) {
                ComPtr<IStorage> child;
                Check(SUCCEEDED(storage->OpenStorage(name.c_str(), nullptr, STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                                     child.Put())));
                pending.emplace_back(std::move(child), expected[i]);
            } else {
                Check(stat.cbSize == want.content.size());
                Check(ReadAll(storage.Get(), name, chunk) == want.content);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto shape = in.ConsumeBool() ? cfb::SiblingShape::RightChain : cfb::SiblingShape::Balanced;
    const std::size_t chunk = in.PickValueInArray(kReadSizes);
    CompoundFileWriter writer;
    std::vector<Element> elements{{u"Root Entry", true, {}, {}}};
    std::vector<CompoundFileWriter::EntryId> storages{CompoundFileWriter::kRoot};
    std::size_t budget = kMaxTotalBytes;
    while (in.remaining_bytes() > 0 && elements.size() < kMaxElements) {
        // Either under the latest storage (deep nesting) or under any storage made so far.
        const auto parent = in.ConsumeBool() ? storages.back()
                                             : storages[in.ConsumeIntegralInRange<std::size_t>(0, storages.size() - 1)];
        const bool isStorage = in.ConsumeIntegralInRange<int>(0, 3) == 0;
        Element element{MakeName(in), isStorage, isStorage ? std::string() : MakeContent(in, budget), {}};
        try {
            const auto id = isStorage ? writer.AddStorage(parent, element.name)
                                      : writer.AddStream(parent, element.name, element.content);
            Check(id == elements.size());
        } catch (const Error&) {
            continue;  // a name the writer refuses (a sibling's, case aside): not part of the tree
        }
        budget -= element.content.size();
        elements[parent].children.push_back(static_cast<CompoundFileWriter::EntryId>(elements.size()));
        if (isStorage) storages.push_back(static_cast<CompoundFileWriter::EntryId>(elements.size()));
        elements.push_back(std::move(element));
    }
    const std::string bytes = writer.SaveToBytes(shape);
    const std::u16string path = MemoryFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (path.empty()) return 0;
    ComPtr<IStorage> root;
    Check(SUCCEEDED(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, root.Put())));
    CompareTree(std::move(root), elements, chunk);
    return 0;
}
