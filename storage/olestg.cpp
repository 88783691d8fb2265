#include "storage/olestg.h"

#include <charconv>
#include <memory>
#include <vector>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "platform/cfb/storage_objects.h"
#include "storage/StrBox.h"
#include "storage/olebox.h"

namespace {

constexpr DWORD kChildMode = STGM_READ | STGM_SHARE_EXCLUSIVE;      // 0x10

// Frees the task-memory name of an element record however the loop body is left.
struct ElementRecord {
    STATSTG stat{};
    ElementRecord() = default;
    ElementRecord(const ElementRecord&) = delete;
    ElementRecord& operator=(const ElementRecord&) = delete;
    ~ElementRecord() { CoTaskMemFree(stat.pwcsName); }
};

// The limit for the file of `root`; none for a storage our reader did not open.
std::size_t LineLimitOf(IStorage* root) {
    const std::shared_ptr<const cfb::CompoundFile> file = cfb::FileOfRoot(root);
    return file ? ListingLineLimit(file->Dir().Count()) : SIZE_MAX;
}

std::string StoragePathText(const std::string& path) {
    return path.empty() ? "the root storage" : "storage \"" + path + "\"";
}

}  // namespace

std::string StorageFailureReason(HRESULT hr) {
    ComPtr<IErrorInfo> info;
    std::u16string description;
    if (GetErrorInfo(0, info.Put()) == S_OK && info) {
        BstrHolder text;
        if (SUCCEEDED(info->GetDescription(text.Put()))) description = text.Text();
    }
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
    if (!description.empty()) return WideToAnsi(description);
    return HResultMessage(hr) + " (" + HResultHex(hr) + ")";
}

bool CheckEnumResult(HRESULT result, Prompts& prompts) {
    if (SUCCEEDED(result)) return true;
    prompts.ShowMessage("Enum Failed");
    return false;
}

TOpenStorage::TOpenStorage(const std::string& path, Prompts& prompts, const ListingMode& mode)
    : prompts_(prompts), mode_(mode) {
    OpenFile(path);
}

std::string ExplainFailure(const ListingMode& mode, const std::string& text, HRESULT hr) {
    return mode.explained ? text + " (" + StorageFailureReason(hr) + ")" : text;
}

std::string ExplainStorageFailure(const ListingMode& mode, const std::string& text,
                                  const std::string& storagePath, HRESULT hr) {
    if (!mode.explained) return text;
    return text + " (" + StoragePathText(storagePath) + ": " + StorageFailureReason(hr) + ")";
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

void AppendElementLine(std::string& line, std::string_view typeName, std::string_view name, std::uint64_t size) {
    line += typeName;
    line += ' ';
    const auto code = name.empty() ? 0 : static_cast<unsigned char>(name[0]);
    if (code >= 1 && code <= 6) {
        // A leading control code marks a special element; it is shown by number, not as is.
        if (code == 5) {
            line += "(Property) ";
        } else {
            line += "(Special: ";
            line += static_cast<char>('0' + code);
            line += ") ";
        }
        line += StrDropLeft(std::string(name), 1);
    } else {
        line += name;
    }
    line += " Size: ";
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, size).ptr;
    line.append(digits, end);
}

std::size_t ListingLineLimit(std::size_t entries) { return 4 * (2 * entries + 1); }

std::string ListingTooLong(std::size_t limit) {
    return "The listing was stopped at " + std::to_string(limit) +
           " lines, four times what the file's entries need: storages of the same name under one storage "
           "each list the elements of the first of them again";
}

ComPtr<IStorage> OpenStorageFile(const std::string& path,
                                 const std::function<void(std::string_view)>& header,
                                 const ListingMode& mode) {
    ComPtr<IStorage> root;
    const std::u16string widePath = PathToWide(path);
    SetErrorInfo(0, nullptr);
    const HRESULT isStorage = StgIsStorageFile(widePath.c_str());
    if (isStorage != S_OK) throw Error(ExplainFailure(mode, "Not a valid storage file.", isStorage));
    header("Storage " + path);
    SetErrorInfo(0, nullptr);
    const HRESULT opened = StgOpenStorage(widePath.c_str(), nullptr, mode.rootMode, nullptr, 0, root.Put());
    if (FAILED(opened) || !root)
        throw Error(ExplainFailure(mode, "Call to StgOpenStorage failed", FAILED(opened) ? opened : E_POINTER));
    return root;
}

void TOpenStorage::OpenFile(const std::string& path) {
    const ComPtr<IStorage> root =
        OpenStorageFile(path, [&](std::string_view line) { Lines.Add(line); }, mode_);
    ListStorage(root.Get());
}

void TOpenStorage::Enter(std::vector<OpenLevel>& levels, ComPtr<IStorage> storage,
                         std::string path) {
    OpenLevel level{std::move(storage), {}, std::move(path)};
    if (mode_.explained) SetErrorInfo(0, nullptr);
    const HRESULT enumerated = level.storage->EnumElements(0, nullptr, 0, level.elements.Put());
    if (FAILED(enumerated) && mode_.explained) {
        prompts_.ShowMessage(ExplainStorageFailure(mode_, "Enum Failed", level.path, enumerated));
        return;
    }
    if (!CheckEnumResult(enumerated, prompts_) || !level.elements) return;
    levels.push_back(std::move(level));
}

// Depth first over an explicit stack of open storages rather than by recursion, so that storages
// nested as deep as the file allows cannot exhaust the call stack. The lines come out as a
// recursive walk would give them: a storage's line, its elements, its closing line, then its next
// sibling.
void TOpenStorage::ListStorage(IStorage* root) {
    const std::size_t limit = LineLimitOf(root);
    std::vector<OpenLevel> levels;
    root->AddRef();
    Enter(levels, ComPtr<IStorage>::Attach(root), "");
    while (!levels.empty()) {
        ElementRecord element;
        if (mode_.explained) SetErrorInfo(0, nullptr);
        const HRESULT fetched = levels.back().elements->Next(1, &element.stat, nullptr);
        if (FAILED(fetched)) {
            if (!mode_.explained) RaiseFailure("Reading the storage elements failed", fetched);
            throw Error(ExplainStorageFailure(mode_, "Reading the storage elements failed", levels.back().path, fetched));
        }
        if (fetched != S_OK) {
            CoTaskMemFree(element.stat.pwcsName);
            element.stat = STATSTG{};
        }
        const std::string typeName(ElementTypeName(element.stat.type));
        AddElementLine(typeName, element.stat);
        if (static_cast<std::size_t>(Lines.Count()) > limit) throw Error(ListingTooLong(limit));
        if (fetched != S_OK) {
            levels.pop_back();
            continue;
        }
        const bool isStorage = typeName == "Storage";
        if (!isStorage && !mode_.keepElements) continue;
        const std::string& parent = levels.back().path;
        std::string path = (parent.empty() ? "" : parent + "/") + WideToStr(element.stat.pwcsName);
        if (mode_.keepElements)
            Elements.push_back({path, typeName, element.stat.cbSize, static_cast<int>(levels.size())});
        if (isStorage) {
            ComPtr<IStorage> child = OpenSubStorage(levels.back().storage.Get(), element.stat, path);
            if (child) Enter(levels, std::move(child), std::move(path));
        }
    }
}

void TOpenStorage::AddElementLine(const std::string& typeName, const STATSTG& element) {
    if (typeName == "Unknown") {
        Lines.Add("End Storage (Unknown)");
        return;
    }
    // The line is built in one buffer kept from line to line: with a hundred thousand elements,
    // an allocation per piece costs as much as reading the directory.
    line_.clear();
    AppendElementLine(line_, typeName, WideToStr(element.pwcsName), element.cbSize);
    Lines.Add(line_);
}

ComPtr<IStorage> TOpenStorage::OpenSubStorage(IStorage* parent, const STATSTG& element,
                                              const std::string& path) {
    ComPtr<IStorage> child;
    const char16_t* name = element.pwcsName ? element.pwcsName : u"";
    if (mode_.explained) SetErrorInfo(0, nullptr);
    const HRESULT opened = parent->OpenStorage(name, nullptr, kChildMode, nullptr, 0, child.Put());
    if (FAILED(opened) || !child) {
        prompts_.ShowMessage(ExplainStorageFailure(mode_, "Count not open subStorage", path, FAILED(opened) ? opened : E_POINTER));
        return {};
    }
    return child;
}
