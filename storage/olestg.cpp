#include "storage/olestg.h"

#include <charconv>
#include <memory>
#include <vector>

#include "platform/error.h"
#include "storage/StrBox.h"
#include "storage/olebox.h"

namespace {

constexpr DWORD kRootMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;  // 0x12
constexpr DWORD kChildMode = STGM_READ | STGM_SHARE_EXCLUSIVE;      // 0x10

// Frees the task-memory name of an element record however the loop body is left.
struct ElementRecord {
    STATSTG stat{};
    ElementRecord() = default;
    ElementRecord(const ElementRecord&) = delete;
    ElementRecord& operator=(const ElementRecord&) = delete;
    ~ElementRecord() { CoTaskMemFree(stat.pwcsName); }
};

// One storage whose elements are being listed, with its enumerator.
struct OpenLevel {
    ComPtr<IStorage> storage;
    ComPtr<IEnumSTATSTG> elements;
};

}  // namespace

bool CheckEnumResult(HRESULT result, Prompts& prompts) {
    if (SUCCEEDED(result)) return true;
    prompts.ShowMessage("Enum Failed");
    return false;
}

const char* ElementTypeName(DWORD type) {
    switch (type) {
        case STGTY_STORAGE: return "Storage";
        case STGTY_STREAM: return "Stream";
        case STGTY_LOCKBYTES: return "LockBytes";
        case STGTY_PROPERTY: return "Property";
        default: return "Unknown";
    }
}

void AppendElementLine(std::string& line, const char* typeName, std::string_view name, std::uint64_t size) {
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

TOpenStorage::TOpenStorage(const std::string& path, Prompts& prompts) : prompts_(prompts) {
    OpenFile(path);
}

ComPtr<IStorage> OpenStorageFile(const std::string& path, const std::function<void(std::string_view)>& header) {
    ComPtr<IStorage> root;
    std::size_t byteLength = 0;
    const std::unique_ptr<char16_t[]> widePath = StrToWide(path, byteLength);
    if (StgIsStorageFile(widePath.get()) != S_OK) throw Error("Not a valid storage file.");
    header("Storage " + path);
    const HRESULT opened = StgOpenStorage(widePath.get(), nullptr, kRootMode, nullptr, 0, root.Put());
    if (FAILED(opened) || !root) throw Error("Call to StgOpenStorage failed");
    return root;
}

void TOpenStorage::OpenFile(const std::string& path) {
    const ComPtr<IStorage> root = OpenStorageFile(path, [&](std::string_view line) { Lines.Add(line); });
    ListStorage(root.Get());
}

// Depth first over an explicit stack of open storages rather than by recursion, so that storages
// nested as deep as the file allows cannot exhaust the call stack. The lines come out as a
// recursive walk would give them: a storage's line, its elements, its closing line, then its next
// sibling.
void TOpenStorage::ListStorage(IStorage* root) {
    std::vector<OpenLevel> levels;
    auto enter = [&](ComPtr<IStorage> storage) {
        OpenLevel level{std::move(storage), {}};
        if (!CheckEnumResult(level.storage->EnumElements(0, nullptr, 0, level.elements.Put()),
                             prompts_) ||
            !level.elements)
            return;
        levels.push_back(std::move(level));
    };
    root->AddRef();
    enter(ComPtr<IStorage>::Attach(root));
    while (!levels.empty()) {
        ElementRecord element;
        const HRESULT fetched = levels.back().elements->Next(1, &element.stat, nullptr);
        if (FAILED(fetched)) RaiseFailure("Reading the storage elements failed", fetched);
        if (fetched != S_OK) {
            CoTaskMemFree(element.stat.pwcsName);
            element.stat = STATSTG{};
        }
        const std::string typeName = ElementTypeName(element.stat.type);
        AddElementLine(typeName, element.stat);
        if (fetched != S_OK) {
            levels.pop_back();
            continue;
        }
        if (typeName == "Storage") {
            ComPtr<IStorage> child = OpenSubStorage(levels.back().storage.Get(), element.stat);
            if (child) enter(std::move(child));
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
    AppendElementLine(line_, typeName.c_str(), WideToStr(element.pwcsName), element.cbSize);
    Lines.Add(line_);
}

ComPtr<IStorage> TOpenStorage::OpenSubStorage(IStorage* parent, const STATSTG& element) {
    ComPtr<IStorage> child;
    const char16_t* name = element.pwcsName ? element.pwcsName : u"";
    if (FAILED(parent->OpenStorage(name, nullptr, kChildMode, nullptr, 0, child.Put())) || !child) {
        prompts_.ShowMessage("Count not open subStorage");
        return {};
    }
    return child;
}
