#include "tools/pack/unpack.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "dataprovider/character.h"
#include "platform/codepage.h"
#include "platform/error.h"
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

// Copies a stream into a new file, chunk by chunk; never replaces an existing file.
void CopyStream(IStorage& root, const std::u16string& name, const fs::path& target) {
    ComPtr<IStream> stream;
    const HRESULT opened =
        root.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    if (FAILED(opened)) Refuse(WideToAnsi(name), DescribeFailure("cannot open the stream", opened));
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) Refuse(target.string(), "cannot create the file");
    std::string buffer(kChunk, '\0');
    bool written = true;
    HRESULT read = S_OK;
    while (written) {
        ULONG got = 0;
        read = stream->Read(buffer.data(), kChunk, &got);
        if (FAILED(read) || got == 0) break;
        for (std::size_t done = 0; written && done < got;) {
            const ssize_t n = ::write(fd, buffer.data() + done, got - done);
            if (n < 0 && errno == EINTR) continue;
            written = n > 0;
            if (written) done += static_cast<std::size_t>(n);
        }
    }
    written = ::close(fd) == 0 && written;
    if (FAILED(read)) Refuse(WideToAnsi(name), DescribeFailure("cannot read the stream", read));
    if (!written) Refuse(target.string(), "cannot write the file");
}

void PrepareFolder(const fs::path& folder) {
    std::error_code error;
    if (fs::exists(folder, error)) {
        if (!fs::is_directory(folder, error)) Refuse(folder.string(), "exists and is not a folder");
        if (!fs::is_empty(folder, error)) Refuse(folder.string(), "the folder is not empty");
    } else if (!fs::create_directories(folder, error)) {
        Refuse(folder.string(), "cannot create the folder: " + error.message());
    }
}

}  // namespace

std::vector<std::string> UnpackCharacter(const std::string& characterFile, const std::string& folder) {
    ComPtr<IStorage> root;
    const HRESULT opened = StgOpenStorage(AnsiToWide(characterFile).c_str(), nullptr,
                                          STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, root.Put());
    if (FAILED(opened)) Refuse(characterFile, DescribeFailure("cannot open the character file", opened));

    // Every name is checked before anything is written, so a refused file leaves no folder half
    // filled.
    ComPtr<IEnumSTATSTG> elements;
    const HRESULT listed = root->EnumElements(0, nullptr, 0, elements.Put());
    if (FAILED(listed)) Refuse(characterFile, DescribeFailure("cannot list the elements", listed));
    std::vector<std::u16string> animations;
    std::vector<std::string> leftOut;
    bool hasDefinition = false;
    while (true) {
        STATSTG element;
        const HRESULT hr = elements->Next(1, &element, nullptr);
        if (FAILED(hr)) Refuse(characterFile, DescribeFailure("cannot list the elements", hr));
        if (hr != S_OK) break;
        const std::u16string name = element.pwcsName ? element.pwcsName : u"";
        CoTaskMemFree(element.pwcsName);
        const bool isStream = element.type == STGTY_STREAM;
        if (isStream && name == character::kDefinitionStream) {
            hasDefinition = true;
        } else if (character::IsAnimationElement(name, isStream)) {
            const std::string fileName = WideToAnsi(name);
            const std::string problem = FileNameProblem(name, fileName);
            if (!problem.empty()) Refuse(characterFile + ": animation " + fileName, problem);
            animations.push_back(name);
        } else {
            leftOut.push_back(WideToAnsi(name));
        }
    }
    if (!hasDefinition)
        Refuse(characterFile, "the file holds no Character stream (the character's definition)");

    const fs::path target(folder);
    PrepareFolder(target);
    CopyStream(*root.Get(), std::u16string(character::kDefinitionStream), target / "Character");
    for (const auto& name : animations) CopyStream(*root.Get(), name, target / WideToAnsi(name));
    return leftOut;
}

}  // namespace pack
