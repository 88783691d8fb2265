#include "tools/pack/unpack.h"

#include <optional>
#include <unordered_map>
#include <utility>

#include "dataprovider/character.h"
#include "platform/cfb/format.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/name_case.h"
#include "platform/name_hash.h"
#include "platform/storage.h"

namespace pack {

namespace {

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

// The text of a failed call on the character file: the reader's reason when it left one (which
// chains share a sector, where a chain breaks), else the result code's message.
std::string StreamFailure(const std::string& what, HRESULT hr) {
    const std::string reason = TakeErrorDescription();
    if (reason.empty()) return DescribeFailure(what, hr);
    return what + ": " + reason + " (" + HResultHex(hr) + ")";
}

// A file this run made, to be removed again if the run fails.
struct Created {
    std::string name;
    EntryIdentity identity;
};

// Copies a stream into a new file of `folder`, chunk by chunk; never replaces an existing file.
// The file is added to `created` as soon as it exists.
void CopyStream(IStorage& root, const std::u16string& name, const Folder& folder, const std::string& fileName,
                std::vector<Created>& created) {
    ComPtr<IStream> stream;
    const HRESULT opened =
        root.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    if (FAILED(opened)) Refuse(WideToAnsi(name), StreamFailure("cannot open the stream", opened));
    NewFile file = folder.CreateFile(fileName);
    created.push_back({fileName, file.Identity()});
    std::string buffer(kChunk, '\0');
    while (true) {
        ULONG got = 0;
        const HRESULT read = stream->Read(buffer.data(), kChunk, &got);
        if (FAILED(read)) Refuse(WideToAnsi(name), StreamFailure("cannot read the stream", read));
        if (got == 0) break;
        file.Write(buffer.data(), got);
    }
    file.Close();
}

}  // namespace

std::vector<std::string> UnpackCharacter(const std::string& characterFile, const std::string& folder,
                                         const FileWritten& written) {
    ComPtr<IStorage> root;
    const HRESULT opened = StgOpenStorage(PathToWide(characterFile).c_str(), nullptr,
                                          STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, root.Put());
    if (FAILED(opened)) Refuse(characterFile, DescribeFailure("cannot open the character file", opened));
    const Plan plan = PlanUnpack(*root.Get(), characterFile);

    std::vector<Folder::Made> madeFolders;
    std::vector<Created> created;
    std::optional<Folder> target;
    try {
        target.emplace(Folder::OpenOrMake(folder, madeFolders));
        if (madeFolders.empty() && !target->IsEmpty()) Refuse(folder, "the folder is not empty");
        for (const auto& [name, fileName] : plan.copies) {
            CopyStream(*root.Get(), name, *target, fileName, created);
            if (written) written(fileName);
        }
    } catch (...) {
        // All or nothing: what this run made goes, and the folder is as it was found. Everything
        // is removed through the folders as opened, and only while it is still what this run
        // made: a folder renamed meanwhile, or a link put in its place, leaves other files alone.
        if (target)
            for (const auto& file : created) target->RemoveIfSame(file.name, file.identity, false);
        target.reset();
        for (auto made = madeFolders.rbegin(); made != madeFolders.rend(); ++made)
            made->parent.RemoveIfSame(made->name, made->identity, true);
        throw;
    }
    return plan.leftOut;
}

}  // namespace pack
