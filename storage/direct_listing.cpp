#include "storage/direct_listing.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/cfb/storage_objects.h"
#include "storage/olebox.h"
#include "storage/olestg.h"

namespace {

using cfb::Directory;

constexpr std::size_t kPiece = 64 * 1024;
// How many elements ahead of the line being written the listing asks for entries: the walk
// goes through the directory in tree order, far from file order, and every entry it reaches
// would otherwise be a wait on memory.
constexpr std::size_t kPrefetchAhead = 16;

// The type the element enumeration reports for an entry: storages (the root included) as
// storages, any other type byte as it is.
DWORD EnumeratedType(const Directory& dir, std::uint32_t id) {
    return dir.IsStorage(id) ? STGTY_STORAGE : dir.Type(id);
}

// The storage that opening child `id` of `parent` by its name gives, as IStorage::OpenStorage
// finds it (the first child of that name), or kNoStream where that open fails.
std::uint32_t OpenedByName(const Directory& dir, std::uint32_t parent, std::uint32_t id) {
    const cfb::EntryName name = dir.Name(id);
    if (name.empty()) return cfb::kNoStream;
    char16_t units[cfb::kMaxNameUnits];
    for (std::size_t i = 0; i < name.size(); ++i) units[i] = name[i];
    const std::uint32_t found = dir.FindChild(parent, {units, name.size()});
    return found != cfb::kNoStream && dir.IsStorage(found) ? found : cfb::kNoStream;
}

// True when the listing reaches a storage whose sibling tree is damaged past its first
// children (the enumeration then fails, and the error ends the listing), or when it would have
// more than `limit` lines. Each storage is looked at once, however often the listing would
// reach it.
bool EndsInError(const Directory& dir, std::size_t limit) {
    std::vector<bool> seen(dir.Count());
    // The storages the listing enters, in the order found: one comes after the storage that
    // opens it. The storages each opens by its storage children's names, one after another.
    std::vector<std::uint32_t> found{0};
    std::vector<std::size_t> opensBegin;
    std::vector<std::uint32_t> opens;
    seen[0] = true;
    for (std::size_t next = 0; next < found.size(); ++next) {
        const std::uint32_t storage = found[next];
        if (dir.ChildListState(storage) == cfb::ChildList::BadSiblingLink) return true;
        opensBegin.push_back(opens.size());
        for (std::uint32_t child : dir.Children(storage)) {
            if (EnumeratedType(dir, child) != STGTY_STORAGE) continue;
            const std::uint32_t opened = OpenedByName(dir, storage, child);
            if (opened == cfb::kNoStream) continue;
            opens.push_back(opened);
            if (!seen[opened]) {
                seen[opened] = true;
                found.push_back(opened);
            }
        }
    }
    opensBegin.push_back(opens.size());
    // Lines of each storage entered (its elements' lines, what the storages it opens list, its
    // closing line), from the last found back to the root; counted no higher than limit + 1.
    std::unordered_map<std::uint32_t, std::size_t> lines;
    auto add = [limit](std::size_t a, std::size_t b) { return std::min(a + b, limit + 1); };
    for (std::size_t i = found.size(); i-- > 0;) {
        const std::uint32_t storage = found[i];
        std::size_t total = 0;
        if (dir.ChildListState(storage) != cfb::ChildList::BadChildLink) {
            total = add(dir.Children(storage).size(), 1);
            for (std::size_t k = opensBegin[i]; k < opensBegin[i + 1]; ++k) total = add(total, lines[opens[k]]);
        }
        lines[storage] = total;
    }
    return add(lines[0], 1) > limit;  // and the header line
}

// Appends the name as WideToStr converts it: ASCII unit for byte, anything else through the
// general conversion.
void AppendName(std::string& out, const cfb::EntryName& name) {
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        if (unit >= 0x80) {
            out.resize(start);
            out += WideToStr(name.ToString().c_str());
            return;
        }
        out += static_cast<char>(unit);
    }
}

// The longest line WritePlainLine writes: type name, name, size text and digits.
constexpr std::size_t kPlainLine = 16 + cfb::kMaxNameUnits + 32;

// Writes at `at` the line of an element whose name is ASCII and starts with no control code 1
// to 6, as nearly every name does, built in one step from the name where the directory holds
// it; returns where the line ends, or nullptr for any other name. REQUIRES: room for
// kPlainLine bytes at `at`.
char* WritePlainLine(char* at, std::string_view typeName, const cfb::EntryName& name, std::uint64_t size) {
    if (name.empty() || name[0] <= 6) return nullptr;
    constexpr std::string_view kSize = " Size: ";
    char* const end = at + kPlainLine;
    at = std::copy(typeName.begin(), typeName.end(), at);
    *at++ = ' ';
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i];
        if (unit >= 0x80) return nullptr;
        *at++ = static_cast<char>(unit);
    }
    at = std::copy(kSize.begin(), kSize.end(), at);
    return std::to_chars(at, end, size).ptr;
}

// Lines gathered into pieces of about kPiece bytes for `write`. Plain lines are written straight
// into the piece.
class PieceWriter {
public:
    explicit PieceWriter(const std::function<void(std::string_view)>& write)
        : write_(write), piece_(new char[kCapacity]) {}
    // Room for a line of up to kPlainLine bytes; EndPlainLine completes it.
    char* PlainRoom() { return piece_.get() + size_; }
    void EndPlainLine(char* end) {
        *end++ = '\n';
        size_ = static_cast<std::size_t>(end - piece_.get());
        ++lines_;
        if (size_ >= kPiece) Flush();
    }
    void Add(std::string_view line) {
        Append(line);
        Append("\n");
        ++lines_;
    }
    void Flush() {
        if (size_ > 0) write_({piece_.get(), size_});
        size_ = 0;
    }
    // Lines, not newlines: a name may hold a line break of its own.
    std::size_t Lines() const { return lines_; }

private:
    // A piece is sent once it reaches kPiece bytes, so there is always room for a plain line
    // and its newline.
    static constexpr std::size_t kCapacity = kPiece + kPlainLine + 1;

    void Append(std::string_view text) {
        while (!text.empty()) {
            const std::size_t n = std::min(text.size(), kCapacity - size_);
            std::copy_n(text.data(), n, piece_.get() + size_);
            size_ += n;
            text.remove_prefix(n);
            if (size_ >= kPiece) Flush();
        }
    }

    const std::function<void(std::string_view)>& write_;
    std::unique_ptr<char[]> piece_;
    std::size_t size_ = 0;
    std::size_t lines_ = 0;
};

// Depth first over an explicit stack, in the order TOpenStorage lists: a storage's line, its
// elements, its closing line, then its next sibling.
class DirectLister {
public:
    DirectLister(const Directory& dir, Prompts& prompts, PieceWriter& out, const ListingMode& mode)
        : dir_(dir), prompts_(prompts), out_(out), mode_(mode) {}

    void ListRoot() {
        Enter(0, "");
        std::string name;
        std::string line;
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == level.children.size()) {
                levels_.pop_back();
                out_.Add("End Storage (Unknown)");
                continue;
            }
            const std::uint32_t parent = level.storage;
            if (level.next + kPrefetchAhead < level.children.size())
                dir_.Prefetch(level.children[level.next + kPrefetchAhead]);
            const std::uint32_t child = level.children[level.next++];
            const DWORD type = EnumeratedType(dir_, child);
            if (type < STGTY_STORAGE || type > STGTY_PROPERTY) {
                out_.Add("End Storage (Unknown)");
                continue;
            }
            const cfb::EntryName entryName = dir_.Name(child);
            const std::uint64_t size = type == STGTY_STORAGE ? 0 : dir_.Size(child);
            if (char* end = WritePlainLine(out_.PlainRoom(), ElementTypeName(type), entryName, size)) {
                out_.EndPlainLine(end);
            } else {
                name.clear();
                AppendName(name, entryName);
                line.clear();
                AppendElementLine(line, ElementTypeName(type), name, size);
                out_.Add(line);
            }
            if (type != STGTY_STORAGE) continue;
            const std::uint32_t opened = OpenedByName(dir_, parent, child);
            std::string path;
            if (mode_.explained) {
                AppendName(path, entryName);
                if (!levels_.back().path.empty()) path = levels_.back().path + "/" + path;
            }
            if (opened == cfb::kNoStream)
                prompts_.ShowMessage(
                    ExplainStorageFailure(mode_, "Count not open subStorage", path, STG_E_FILENOTFOUND));
            else
                Enter(opened, std::move(path));
        }
    }

private:
    struct Level {
        std::uint32_t storage;
        std::span<const std::uint32_t> children;
        std::size_t next = 0;
        std::string path;  // below the root, kept in the explained mode only
    };

    void Enter(std::uint32_t storage, std::string path) {
        if (dir_.ChildListState(storage) == cfb::ChildList::BadChildLink) {
            prompts_.ShowMessage(ExplainStorageFailure(mode_, "Enum Failed", path, STG_E_DOCFILECORRUPT));
            return;
        }
        const std::span<const std::uint32_t> children = dir_.Children(storage);
        for (std::size_t i = 0; i < std::min(children.size(), kPrefetchAhead); ++i) dir_.Prefetch(children[i]);
        levels_.push_back({storage, children, 0, std::move(path)});
    }

    const Directory& dir_;
    Prompts& prompts_;
    PieceWriter& out_;
    const ListingMode& mode_;
    std::vector<Level> levels_;
};

}  // namespace

std::size_t WriteStorageListing(const std::string& path, Prompts& prompts,
                                const std::function<void(std::string_view)>& write, const ListingMode& mode) {
    PieceWriter out(write);
    std::string header;
    ComPtr<IStorage> root = OpenStorageFile(path, [&](std::string_view line) { header = line; }, mode);
    {
        const std::shared_ptr<const cfb::CompoundFile> file = cfb::FileOfRoot(root.Get());
        if (file && !EndsInError(file->Dir(), ListingLineLimit(file->Dir().Count()))) {
            out.Add(header);
            DirectLister(file->Dir(), prompts, out, mode).ListRoot();
            out.Flush();
            return out.Lines();
        }
    }
    // Listed through the enumeration, whose error then leaves before any line is written. The
    // root is released first: it holds the file to itself.
    root.Reset();
    const TOpenStorage listing(path, prompts, mode);
    for (std::string_view line : listing.Lines) out.Add(line);
    out.Flush();
    return out.Lines();
}
