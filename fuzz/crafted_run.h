// A run of the checker made up from fuzzing bytes: names of any bytes (and a character name of any
// UTF-16 units) wherever a hostile file could put them, for the report fuzz target and for the
// tests that put its inputs through the SARIF validator.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "tools/check/check_run.h"

namespace crafted {

constexpr std::size_t kMaxNames = 6;
constexpr std::size_t kMaxFiles = 3;

inline std::string Text(FuzzedDataProvider& data) { return data.ConsumeRandomLengthString(40); }

inline std::vector<std::string> Texts(FuzzedDataProvider& data) {
    std::vector<std::string> texts(data.ConsumeIntegralInRange<std::size_t>(0, kMaxNames));
    for (auto& text : texts) text = Text(data);
    return texts;
}

inline std::u16string Units(FuzzedDataProvider& data) {
    std::u16string units(data.ConsumeIntegralInRange<std::size_t>(0, 12), u'\0');
    for (auto& unit : units) unit = data.ConsumeIntegral<char16_t>();
    return units;
}

// A list as a check sorts it: each line valid, missing (with hints) or blank.
inline SortedNames Sorted(FuzzedDataProvider& data, std::size_t& missingCount) {
    SortedNames sorted;
    const std::vector<std::string> lines = Texts(data);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        sorted.names.Add(lines[i]);
        const int line = static_cast<int>(i) + 1;
        switch (data.ConsumeIntegralInRange(0, 2)) {
            case 0: sorted.valid.Add(lines[i]); break;
            case 1:
                sorted.missing.push_back(lines[i]);
                sorted.missingLines.push_back(line);
                sorted.hints.push_back(Texts(data));
                break;
            default: sorted.blankLines.push_back(line);
        }
    }
    missingCount += sorted.missing.size();
    sorted.duplicates = Texts(data);
    sorted.unlisted = Texts(data);
    return sorted;
}

inline CheckRun Run(FuzzedDataProvider& data, std::size_t& missingCount) {
    CheckRun run;
    run.startDir = Text(data);
    run.animations.path = Text(data);
    run.states.path = Text(data);
    if (data.ConsumeBool()) run.animations.names.emplace(std::vector<std::string>{Text(data)});
    if (data.ConsumeBool()) run.states.names.emplace(std::vector<std::string>{Text(data)});
    run.messages = Texts(data);
    run.files.resize(data.ConsumeIntegralInRange<std::size_t>(1, kMaxFiles));
    for (auto& file : run.files) {
        file.path = "/" + Text(data);  // a full path, as the checker makes every path
        file.errorKind = data.PickValueInArray({S_OK, S_FALSE, STG_E_FILENOTFOUND, STG_E_READFAULT,
                                                STG_E_DOCFILECORRUPT, E_INVALIDDATA, E_FAIL});
        if (data.ConsumeBool()) file.error = Text(data);
        file.messages = Texts(data);
        file.connected = data.ConsumeBool();
        file.character = Units(data);
        if (data.ConsumeBool()) {
            file.storageElements = data.ConsumeIntegral<int>();
            file.animationsInStorage = data.ConsumeIntegral<int>();
            file.unknownAnimations = data.ConsumeIntegral<int>();
            file.animations = Sorted(data, missingCount);
            file.states = Sorted(data, missingCount);
        }
        // The checker's own words, never a file's.
        if (data.ConsumeBool()) file.hintsUnavailable = "the character was not loaded";
        file.saved = Texts(data);
        file.emptyAnimations = Texts(data);
    }
    return run;
}

}  // namespace crafted
