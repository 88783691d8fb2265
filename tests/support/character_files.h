// Character files for tests, made with our writer: a `Character` definition stream and one stream
// per animation.
#pragma once

#include <string>
#include <vector>

#include "platform/cfb/writer.h"
#include "platform/codepage.h"

struct CharacterRecipe {
    std::string name = "Max";
    std::vector<std::string> animations;
    std::vector<std::string> stateLines;  // "Resting:Wave,Bow"
};

inline std::string CharacterDefinition(const CharacterRecipe& recipe) {
    std::string text = "Name=" + recipe.name + "\n";
    for (const auto& state : recipe.stateLines) text += "State=" + state + "\n";
    return text;
}

inline cfb::CompoundFileWriter CharacterFileWriter(const CharacterRecipe& recipe) {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", CharacterDefinition(recipe));
    for (const auto& animation : recipe.animations)
        writer.AddStream(cfb::CompoundFileWriter::kRoot, AnsiToWide(animation), "frames of " + animation);
    return writer;
}

inline std::string CharacterFileBytes(const CharacterRecipe& recipe) {
    return CharacterFileWriter(recipe).SaveToBytes();
}

inline void WriteCharacterFile(const std::string& path, const CharacterRecipe& recipe) {
    CharacterFileWriter(recipe).SaveToFile(path);
}
