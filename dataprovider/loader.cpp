#include "dataprovider/loader.h"

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"

namespace character {

namespace {

constexpr ULONG kFirstReadChunk = 4 * 1024;
constexpr ULONG kReadChunk = 64 * 1024;

void CheckFileResult(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) throw Error(DescribeFileFailure(what, hr), hr);
}

std::string ReadDefinition(IStorage& root) {
    ComPtr<IStream> stream;
    const std::u16string name(kDefinitionStream);
    const HRESULT opened =
        root.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put());
    if (opened == STG_E_FILENOTFOUND)
        throw Error("The character file holds no Character stream (the character's definition)", E_INVALIDDATA);
    CheckFileResult(opened, "Cannot open the Character stream");

    // The recorded size is not trusted: reading stops one byte past the limit whatever it says.
    // Pieces grow from a small first one, since most definitions are a few hundred bytes.
    std::string text;
    for (ULONG chunk = kFirstReadChunk; text.size() <= kMaxDefinitionBytes; chunk = std::min(2 * chunk, kReadChunk)) {
        const std::size_t before = text.size();
        text.resize(before + chunk);
        ULONG read = 0;
        CheckFileResult(stream->Read(text.data() + before, chunk, &read), "Cannot read the Character stream");
        text.resize(before + std::min(read, chunk));
        if (read == 0) break;
    }
    if (text.size() > kMaxDefinitionBytes)
        throw Error("The Character stream is larger than 1 MiB, too large for a definition", E_INVALIDDATA);
    return text;
}

NameList ReadAnimationNames(IStorage& root) {
    ComPtr<IEnumSTATSTG> elements;
    CheckFileResult(root.EnumElements(0, nullptr, 0, elements.Put()),
                    "Cannot list the elements of the character file");
    NameList names;
    while (true) {
        STATSTG element;
        ULONG fetched = 0;
        const HRESULT hr = elements->Next(1, &element, &fetched);
        CheckFileResult(hr, "Cannot list the elements of the character file");
        if (hr != S_OK || fetched == 0) break;
        const std::u16string_view name = element.pwcsName ? element.pwcsName : u"";
        if (IsAnimationElement(name, element.type == STGTY_STREAM)) names.Add(name);
        CoTaskMemFree(element.pwcsName);
    }
    return names;
}

// A character whose animations cannot be played is not a valid one, though the provider never
// reads them: each animation's last byte is read, for which the reader lays out and checks the
// stream's whole chain (a loop, a free or shared sector, a chain shorter than the size, a small
// stream beyond the mini stream) and reaches the chain's last sector. The first failure ends the
// check, and the chains that pass share no sector, so all of them together take one step per
// sector of the file.
void CheckAnimationStreams(IStorage& root, const NameList& animations) {
    for (std::size_t i = 0; i < animations.Size(); ++i) {
        const std::u16string name(animations[i]);
        const std::string what = "Cannot read the animation " + QuoteName(name);
        ComPtr<IStream> stream;
        CheckFileResult(root.OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put()),
                        what);
        std::uint64_t size = 0;
        CheckFileResult(stream->Seek(0, STREAM_SEEK_END, &size), what);
        if (size == 0) continue;
        CheckFileResult(stream->Seek(-1, STREAM_SEEK_END, nullptr), what);
        unsigned char last;
        ULONG read = 0;
        CheckFileResult(stream->Read(&last, 1, &read), what);
        if (read != 1) throw Error(what + ": its last byte cannot be read", STG_E_READFAULT);
    }
}

}  // namespace

std::string DescribeFileFailure(const std::string& what, HRESULT hr) {
    const std::string reason = TakeErrorDescription();
    if (hr != STG_E_DOCFILECORRUPT && hr != STG_E_READFAULT) return DescribeFailure(what, hr);
    return what + ": the file is truncated or damaged (" +
           (reason.empty() ? HResultMessage(hr) : reason) + ")";
}

Character LoadCharacter(IStorage& root) {
    const Definition definition = ParseDefinition(ReadDefinition(root));
    Character character(definition, ReadAnimationNames(root));
    CheckAnimationStreams(root, character.AnimationNames());
    return character;
}

}  // namespace character
