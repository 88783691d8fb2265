#include "tools/pack/unpack.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <utility>

#include "dataprovider/character.h"
#include "platform/cfb/format.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/name_case.h"
#include "platform/name_hash.h"
#include "platform/storage.h"

namespace pack {

namespace {

namespace fs = std::filesystem;

constexpr ULONG kChunk = 1 << 20;

[[noreturn]] void Refuse(const std::string& what, const std::string& why) {
    throw Error(what + ": " + why);
}

// A file name that the builder reads back as the same animation, or the reason it cannot be.
std::string FileNameProblem(const std::u16string& wide, const std::string& name) {
    if (WideToAnsi(AnsiToWide(name)) != name || AnsiToWide(name) != wide)
        return "the name cannot be written as a file name in UTF-8";
    if (name.find('/') != std::string::npos) return "the name holds a \"/\"";
    if (name.find('\0') != std::string::npos) return "the name holds a NUL character";
    if (name.starts_with(".")) return "a name starting with \".\" cannot be packed again";
    return "";
}

// What an unpack writes: each stream's name and the file it goes to, the definition first.
struct Plan {
    std::vector<std::pair<std::u16string, std::string>> copies;
    std::vector<std::string> leftOut;
};

// Reads every root element's name and vets it before anything is written. Names compare as the
// compound file compares them, without regard to case: the definition is the stream that an open
// of "Character" reaches, whatever its case, and two streams that differ only by case (or not at
// all) would make files that the builder refuses to pack together again, so the file is refused.
Plan PlanUnpack(IStorage& root, const std::string& characterFile) {
    ComPtr<IEnumSTATSTG> elements;
    const HRESULT listed = root.EnumElements(0, nullptr, 0, elements.Put());
    if (FAILED(listed)) Refuse(characterFile, DescribeFailure("cannot list the elements", listed));
    Plan plan;
    std::unordered_map<std::u16string, std::u16string, UnitsHash> unpacked;  // folded name -> name
    std::optional<std::u16string> definition;
    while (true) {
        STATSTG element;
        const HRESULT hr = elements->Next(1, &element, nullptr);
        if (FAILED(hr)) Refuse(characterFile, DescribeFailure("cannot list the elements", hr));
        if (hr != S_OK) break;
        const std::u16string name = element.pwcsName ? element.pwcsName : u"";
        CoTaskMemFree(element.pwcsName);
        const bool isStream = element.type == STGTY_STREAM;
        const bool isDefinition = isStream && cfb::CompareNames(name, character::kDefinitionStream) == 0;
        if (!isDefinition && !character::IsAnimationElement(name, isStream)) {
            plan.leftOut.push_back(WideToAnsi(name));
            continue;
        }
        const auto [earlier, added] = unpacked.emplace(FoldName(name), name);
        if (!added)
            Refuse(characterFile, "the streams \"" + WideToAnsi(earlier->second) + "\" and \"" +
                                      WideToAnsi(name) +
                                      "\" have one name without regard to case, as a character file "
                                      "compares names; unpacked, they could not be packed again");
        if (isDefinition) {
            definition = name;
            continue;
        }
        const std::string fileName = WideToAnsi(name);
        const std::string problem = FileNameProblem(name, fileName);
        if (!problem.empty()) Refuse(characterFile + ": animation " + fileName, problem);
        plan.copies.emplace_back(name, fileName);
    }
    if (!definition)
        Refuse(characterFile, "the file holds no Character stream (the character's definition)");
    plan.copies.emplace(plan.copies.begin(), *definition, std::string(character::kDefinitionStream.begin(),
                                                                      character::kDefinitionStream.end()));
    return plan;
}

// Copies a stream into a new file, chunk by chunk; never replaces an existing file. The file is
// added to `created` as soon as it exists.
void CopyStream(IStorage& root, const std::u16string& name, const fs::path& target,
                std::vector<fs::path>& created) {
    ComPtr<IStream> stream;
    const HRESULT opened =
        root.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    if (FAILED(opened)) Refuse(WideToAnsi(name), DescribeFailure("cannot open the stream", opened));
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) Refuse(target.string(), std::string("cannot create the file: ") + std::strerror(errno));
    created.push_back(target);
    std::string buffer(kChunk, '\0');
    int writeError = 0;
    HRESULT read = S_OK;
    while (writeError == 0) {
        ULONG got = 0;
        read = stream->Read(buffer.data(), kChunk, &got);
        if (FAILED(read) || got == 0) break;
        for (std::size_t done = 0; writeError == 0 && done < got;) {
            const ssize_t n = ::write(fd, buffer.data() + done, got - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) writeError = errno;
            else done += static_cast<std::size_t>(n);
        }
    }
    if (::close(fd) != 0 && writeError == 0) writeError = errno;
    if (FAILED(read)) Refuse(WideToAnsi(name), DescribeFailure("cannot read the stream", read));
    if (writeError != 0) Refuse(target.string(), std::string("cannot write the file: ") + std::strerror(writeError));
}

// Makes the folder, and any folder above it that is missing, unless it exists empty. Returns the
// folders it made, the deepest first.
std::vector<fs::path> PrepareFolder(const fs::path& folder) {
    std::error_code error;
    if (fs::exists(folder, error)) {
        if (!fs::is_directory(folder, error)) Refuse(folder.string(), "exists and is not a folder");
        if (!fs::is_empty(folder, error)) Refuse(folder.string(), "the folder is not empty");
        return {};
    }
    std::vector<fs::path> made;
    for (fs::path missing = fs::absolute(folder, error); !error && !missing.empty() && !fs::exists(missing, error);
         missing = missing.parent_path()) {
        made.push_back(missing);
        if (missing == missing.parent_path()) break;
    }
    if (!fs::create_directories(folder, error))
        Refuse(folder.string(), "cannot create the folder: " + error.message());
    return made;
}

}  // namespace

std::vector<std::string> UnpackCharacter(const std::string& characterFile, const std::string& folder) {
    ComPtr<IStorage> root;
    const HRESULT opened = StgOpenStorage(PathToWide(characterFile).c_str(), nullptr,
                                          STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, root.Put());
    if (FAILED(opened)) Refuse(characterFile, DescribeFailure("cannot open the character file", opened));
    const Plan plan = PlanUnpack(*root.Get(), characterFile);

    const fs::path target(folder);
    const std::vector<fs::path> madeFolders = PrepareFolder(target);
    std::vector<fs::path> created;
    try {
        for (const auto& [name, fileName] : plan.copies) CopyStream(*root.Get(), name, target / fileName, created);
    } catch (...) {
        // All or nothing: what this run made goes, and the folder is as it was found.
        std::error_code ignored;
        for (const auto& file : created) fs::remove(file, ignored);
        for (const auto& made : madeFolders) fs::remove(made, ignored);
        throw;
    }
    return plan.leftOut;
}

}  // namespace pack
