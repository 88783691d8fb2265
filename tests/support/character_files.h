// Character files for tests, made with our writer: a `Character` definition stream and one stream
// per animation.
#pragma once

#include <string>
#include <vector>

#include "platform/cfb/writer.h"
#include "platform/codepage.h"

struct CharacterSpec {
    std::string name = "Max";
    std::vector<std::string> animations;
    std::vector<std::string> stateLines;  // "Resting:Wave,Bow"
};

inline std::string CharacterDefinition(const CharacterSpec& spec) {
    std::string text = "Name=" + spec.name + "\n";
    for (const auto& state : spec.stateLines) text += "State=" + state + "\n";
    return text;
}

inline void WriteCharacterFile(const std::string& path, const CharacterSpec& spec) {
    cfb::CompoundFileWriter writer;
    writer.AddStream(cfb::CompoundFileWriter::kRoot, u"Character", CharacterDefinition(spec));
    for (const auto& animation : spec.animations)
        writer.AddStream(cfb::CompoundFileWriter::kRoot, AnsiToWide(animation), "frames of " + animation);
    writer.SaveToFile(path);
}
