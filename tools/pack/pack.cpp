#include "tools/pack/pack.h"

#include <algorithm>
#include <filesystem>

#include "dataprovider/character.h"
#include "dataprovider/definition.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"

namespace pack {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Refuse(const fs::path& file, const std::string& why) {
    throw Error(file.string() + ": " + why);
}

std::string ReadDefinition(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error))
        Refuse(file, "there is no Character definition in the folder");
    const auto size = fs::file_size(file, error);
    if (error) Refuse(file, error.message());
    if (size > character::kMaxDefinitionBytes)
        Refuse(file, "the definition is larger than 1 MiB");
    std::string text = ReadWholeFile(file.string());
    if (text.size() > character::kMaxDefinitionBytes)
        Refuse(file, "the definition is larger than 1 MiB");
    return text;
}

character::Definition ParseDefinition(const fs::path& file, const std::string& text) {
    try {
        return character::ParseDefinition(text);
    } catch (const Error& refused) {
        Refuse(file, refused.Message());
    }
}

// The animation's name from its file name; file names that could not come back out of a
// character file unchanged are refused.
std::u16string AnimationName(const fs::path& file) {
    const std::string name = file.filename().string();
    const std::u16string wide = AnsiToWide(name);
    if (WideToAnsi(wide) != name) Refuse(file, "the file name is not valid UTF-8");
    if (static_cast<unsigned char>(name.front()) < 32)
        Refuse(file, "an animation's name must not start with a control character");
    if (!character::IsAnimationElement(wide, true))
        Refuse(file, "the name is taken by the Character definition");
    return wide;
}

}  // namespace

cfb::CompoundFileWriter BuildCharacter(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) Refuse(folder, "not a folder");
    const fs::path definitionFile = fs::path(folder) / "Character";
    std::string definitionText = ReadDefinition(definitionFile);
    const character::Definition definition = ParseDefinition(definitionFile, definitionText);

    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(".") || name == "Character") continue;
        if (it->is_regular_file(error)) files.push_back(it->path());
    }
    if (error) Refuse(folder, error.message());
    std::sort(files.begin(), files.end());

    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, character::kDefinitionStream,
                     std::move(definitionText));
    std::vector<std::u16string> animations;
    for (const auto& file : files) {
        const std::u16string name = AnimationName(file);
        try {
            writer.AddStream(cfb::CompoundFileWriter::kRoot, name, ReadWholeFile(file.string()));
        } catch (const Error& refused) {
            Refuse(file, refused.Message());
        }
        animations.push_back(name);
    }
    try {
        const character::Character checked(definition, animations);
    } catch (const Error& refused) {
        Refuse(definitionFile, refused.Message());
    }
    return writer;
}

}  // namespace pack
