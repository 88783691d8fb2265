#include "storage/olestg.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "platform/cfb/format.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "platform/files.h"
#include "storage/StrBox.h"
#include "storage/olebox.h"

namespace {

constexpr DWORD kChildMode = STGM_READ | STGM_SHARE_EXCLUSIVE;  // 0x10
constexpr std::string_view kClosingLine = "End Storage (Unknown)";
// A message names a storage by its path below the root; past this many names, by the first
// and last few only, so that the messages of a deeply nested file stay in proportion to it.
constexpr std::size_t kPathHead = 2, kPathTail = 5;

// Frees the task-memory name of an element record however the loop body is left.
struct ElementRecord {
    STATSTG stat{};
    ElementRecord() = default;
    ElementRecord(const ElementRecord&) = delete;
    ElementRecord& operator=(const ElementRecord&) = delete;
    ~ElementRecord() { CoTaskMemFree(stat.pwcsName); }
};

char* Put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The line of an element, "Stream Wave Size: 2048", written into `room`, which is kept from line
// to line and only ever grows: with a hundred thousand elements, an append per piece costs as
// much as reading the directory.
std::string_view ElementLine(std::string& room, std::string_view typeName, std::string_view name,
                             std::uint64_t size) {
    constexpr std::string_view kSizeLabel = " Size: ";
    constexpr std::size_t kLongestMark = std::string_view("(Special: 1) ").size();
    constexpr std::size_t kDigits = 20;  // of the largest 64-bit number
    const std::size_t longest = typeName.size() + 1 + kLongestMark + name.size() + kSizeLabel.size() + kDigits;
    if (room.size() < longest) room.resize(longest);
    char* out = Put(room.data(), typeName);
    *out++ = ' ';
    const auto code = name.empty() ? 0 : static_cast<unsigned char>(name[0]);
    if (code >= 1 && code <= 6) {
        // A leading control code marks a special element; it is shown by number, not as is.
        if (code == 5) {
            out = Put(out, "(Property) ");
        } else {
            out = Put(out, "(Special: ");
            *out++ = static_cast<char>('0' + code);
            out = Put(out, ") ");
        }
        out = Put(out, StrDropLeft(std::string(name), 1));
    } else {
        out = Put(out, name);
    }
    out = Put(out, kSizeLabel);
    // The full 64-bit size: a stream of 2 GiB or more is not shown as a negative number.
    out = std::to_chars(out, out + kDigits, size).ptr;
    return {room.data(), static_cast<std::size_t>(out - room.data())};
}

// The reason a child storage that the enumeration delivered could not be opened by its name.
std::string ChildOpenReason(HRESULT hr) {
    // The open reaches the first element of that name, compared without regard to case.
    if (hr == STG_E_FILENOTFOUND) return "its name first names an element that is not a storage";
    return StorageFailureReason(hr);
}

// One listing: a line for the file, then for each storage its elements one at a time, a line
// each, entering every child storage as it is met; depth first over an explicit stack of open
// storages rather than by recursion, so that storages nested as deep as the file allows cannot exhaust the call stack.
// The lines come out as a recursive walk would give them: a storage's line, its elements, its
// closing line, then its next sibling. Each open storage keeps only its own name, never the path
// to it.
class StorageWalk {
public:
    StorageWalk(Prompts& prompts, ListingSink& sink, const ListingMode& mode)
        : prompts_(prompts), sink_(sink), mode_(mode) {}

    void OpenFile(const std::string& path);
    std::size_t LeftOut() const { return leftOut_; }

private:
    // The order of names in a storage, as an open by name compares them.
    struct NameOrder {
        bool operator()(const std::u16string& a, const std::u16string& b) const { return cfb::CompareNames(a, b) < 0; }
    };
    struct OpenLevel {
        ComPtr<IStorage> storage;
        ComPtr<IEnumSTATSTG> elements;
        std::string name;  // as the line shows it, for messages; empty for the root
        std::set<std::u16string, NameOrder> storageNames;  // of the storages listed so far, in the explained mode
    };

    void ListStorage(ComPtr<IStorage> root);
    void Enter(ComPtr<IStorage> storage, const std::string_view* name);
    void AddLine(std::string_view line);
    // The line of `element`, whose name name_ holds.
    void AddElementLine(std::string_view typeName, const STATSTG& element);
    ComPtr<IStorage> OpenSubStorage(IStorage* parent, const STATSTG& element);
    // In the explained mode, counts `element` as left out, and says why, when it is a second
    // storage of one name in the storage open at the top: an open by name reaches one only.
    void CountTwinStorage(const STATSTG& element);

    void ClearErrorInfo() const {
        if (mode_.explained) SetErrorInfo(0, nullptr);
    }
    std::string Explained(const std::string& text, HRESULT hr) const {
        return mode_.explained ? text + " (" + StorageFailureReason(hr) + ")" : text;
    }
    // The window's text, or in the explained mode that text followed by the storage it concerns
    // and why.
    std::string AboutStorage(const std::string& text, const std::string& storage, const std::string& why) const {
        return mode_.explained ? text + " (" + storage + ": " + why + ")" : text;
    }
    // Names the storage open at the top, or its child `child`: "the root storage",
    // "storage \"A/B\"".
    std::string StorageText(const std::string_view* child) const;

    Prompts& prompts_;
    ListingSink& sink_;
    const ListingMode& mode_;
    std::vector<OpenLevel> levels_;
    std::size_t lines_ = 0;
    std::size_t leftOut_ = 0;  // storages that could not be enumerated or opened
    std::size_t limit_ = SIZE_MAX;  // until the file is open
    std::string_view name_;  // of the element being listed, in nameRoom_
    std::string nameRoom_;
    std::string line_;  // room for the line being built
};

void StorageWalk::OpenFile(const std::string& path) {
    ComPtr<IStorage> root;
    {
        // Any path the system accepts: bytes that are not text travel through as themselves.
        const std::u16string widePath = PathToWide(path);
        ClearErrorInfo();
        const HRESULT isStorage = StgIsStorageFile(widePath.c_str());
        if (isStorage != S_OK) throw Error(Explained("Not a valid storage file.", isStorage), isStorage);
        AddLine("Storage " + path);
        ClearErrorInfo();
        const HRESULT opened = StgOpenStorage(widePath.c_str(), nullptr, mode_.rootMode, nullptr, 0, root.Put());
        if (FAILED(opened) || !root) {
            const HRESULT failure = FAILED(opened) ? opened : E_POINTER;
            throw Error(Explained("Call to StgOpenStorage failed", failure), failure);
        }
    }
    // The open file is the one at the path; its size bounds what its directory can hold.
    limit_ = ListingLineLimit(FileSize(path).value_or(0));
    ListStorage(std::move(root));
}

void StorageWalk::ListStorage(ComPtr<IStorage> root) {
    Enter(std::move(root), nullptr);
    while (!levels_.empty()) {
        ElementRecord element;
        // The error information is not cleared before each fetch: every failure the walk meets
        // takes it, and it was cleared when the file was opened.
        const HRESULT fetched = levels_.back().elements->Next(1, &element.stat, nullptr);
        if (FAILED(fetched)) {
            const std::string text = "Reading the storage elements failed";
            if (!mode_.explained) RaiseFailure(text, fetched);
            throw Error(AboutStorage(text, StorageText(nullptr), StorageFailureReason(fetched)), fetched);
        }
        if (fetched != S_OK) {
            // Nothing delivered: the record counts as all zeros, an "Unknown" element.
            CoTaskMemFree(element.stat.pwcsName);
            element.stat = STATSTG{};
        }
        const std::string_view typeName = ElementTypeName(element.stat.type);
        name_ = WideToStr(element.stat.pwcsName, nameRoom_);
        AddElementLine(typeName, element.stat);
        if (fetched != S_OK) {
            levels_.pop_back();
            continue;
        }
        sink_.Element(name_, typeName, element.stat.cbSize, levels_.size());
        if (element.stat.type != STGTY_STORAGE) continue;
        // The listing still shows what the open by name gives, as the window's does.
        CountTwinStorage(element.stat);
        if (ComPtr<IStorage> child = OpenSubStorage(levels_.back().storage.Get(), element.stat))
            Enter(std::move(child), &name_);
    }
}

void StorageWalk::Enter(ComPtr<IStorage> storage, const std::string_view* name) {
    ComPtr<IEnumSTATSTG> elements;
    ClearErrorInfo();
    const HRESULT enumerated = storage->EnumElements(0, nullptr, 0, elements.Put());
    if (FAILED(enumerated) && mode_.explained) {
        ++leftOut_;
        prompts_.ShowMessage(AboutStorage("Enum Failed", StorageText(name), StorageFailureReason(enumerated)));
        return;
    }
    if (!CheckEnumResult(enumerated, prompts_) || !elements) {
        ++leftOut_;
        return;
    }
    levels_.push_back({std::move(storage), std::move(elements), name ? std::string(*name) : std::string(), {}});
}

void StorageWalk::AddLine(std::string_view line) {
    if (++lines_ > limit_) throw Error(ListingTooLong(limit_));
    sink_.Line(line);
}

void StorageWalk::AddElementLine(std::string_view typeName, const STATSTG& element) {
    if (typeName == "Unknown") {
        AddLine(kClosingLine);
        return;
    }
    AddLine(ElementLine(line_, typeName, name_, element.cbSize));
}

ComPtr<IStorage> StorageWalk::OpenSubStorage(IStorage* parent, const STATSTG& element) {
    ComPtr<IStorage> child;
    const char16_t* name = element.pwcsName ? element.pwcsName : u"";
    ClearErrorInfo();
    const HRESULT opened = parent->OpenStorage(name, nullptr, kChildMode, nullptr, 0, child.Put());
    if (SUCCEEDED(opened) && child) return child;
    ++leftOut_;
    if (!mode_.explained) {
        prompts_.ShowMessage("Count not open subStorage");
    } else if (name_.empty()) {
        // No name can open it: a child storage is opened by its name.
        prompts_.ShowMessage(AboutStorage("Count not open subStorage", "a storage in " + StorageText(nullptr),
                                          "the name is empty"));
    } else {
        prompts_.ShowMessage(AboutStorage("Count not open subStorage", StorageText(&name_),
                                          ChildOpenReason(FAILED(opened) ? opened : E_POINTER)));
    }
    return {};
}

void StorageWalk::CountTwinStorage(const STATSTG& element) {
    if (!mode_.explained || !element.pwcsName) return;
    if (levels_.back().storageNames.emplace(element.pwcsName).second) return;
    ++leftOut_;
    prompts_.ShowMessage(AboutStorage("Two storages of one name", StorageText(&name_),
                                      "an open by name reaches only one of them, whose elements are listed "
                                      "for both; the other's are not listed"));
}

std::string StorageWalk::StorageText(const std::string_view* child) const {
    const std::size_t parents = levels_.empty() ? 0 : levels_.size() - 1;
    const std::size_t count = parents + (child ? 1 : 0);
    if (count == 0) return "the root storage";
    auto nameAt = [&](std::size_t i) -> std::string_view { return i < parents ? levels_[i + 1].name : *child; };
    std::string text = "storage \"";
    for (std::size_t i = 0; i < count; ++i) {
        if (count > kPathHead + kPathTail + 1 && i == kPathHead) {
            text += ".../";
            i = count - kPathTail;
        }
        text += nameAt(i);
        if (i + 1 < count) text += '/';
    }
    return text + "\"";
}

class LineListSink final : public ListingSink {
public:
    explicit LineListSink(LineList& lines) : lines_(lines) {}
    void Line(std::string_view line) override { lines_.Add(line); }

private:
    LineList& lines_;
};

}  // namespace

void ListingSink::Element(std::string_view, std::string_view, std::uint64_t, std::size_t) {}

std::string StorageFailureReason(HRESULT hr) {
    const std::string description = TakeErrorDescription();
    switch (hr) {
        case S_FALSE: return "not a compound file";
        case STG_E_FILENOTFOUND:
        case STG_E_PATHNOTFOUND: return "no such file";
        case E_DIRECTORY: return "a folder, not a file";
        case STG_E_ACCESSDENIED: return "permission denied";
        case STG_E_SHAREVIOLATION:
        case STG_E_LOCKVIOLATION: return "locked by another program";
        default: break;
    }
    if (!description.empty()) return description;
    return HResultMessage(hr) + " (" + HResultHex(hr) + ")";
}

bool CheckEnumResult(HRESULT result, Prompts& prompts) {
    if (SUCCEEDED(result)) return true;
    prompts.ShowMessage("Enum Failed");
    return false;
}

std::string_view ElementTypeName(DWORD type) {
    switch (type) {
        case STGTY_STORAGE: return "Storage";
        case STGTY_STREAM: return "Stream";
        case STGTY_LOCKBYTES: return "LockBytes";
        case STGTY_PROPERTY: return "Property";
        default: return "Unknown";
    }
}

std::size_t ListingLineLimit(std::uint64_t fileBytes) {
    // A directory entry takes 128 bytes; listing it once takes its line and, for a storage, its
    // closing line. The header line and the root's closing line come on top.
    const std::uint64_t entries = fileBytes / 128;
    return static_cast<std::size_t>(4 * (2 * entries + 2));
}

std::string ListingTooLong(std::size_t limit) {
    return "The listing was stopped at " + std::to_string(limit) +
           " lines, four times what a file of its size needs: storages of the same name under one storage "
           "each list the elements of the first of them again";
}

std::size_t ListStorageFile(const std::string& path, Prompts& prompts, ListingSink& sink, const ListingMode& mode) {
    StorageWalk walk(prompts, sink, mode);
    walk.OpenFile(path);
    return walk.LeftOut();
}

TOpenStorage::TOpenStorage(const std::string& path, Prompts& prompts, const ListingMode& mode) {
    LineListSink sink(Lines);
    ListStorageFile(path, prompts, sink, mode);
}
