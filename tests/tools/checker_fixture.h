// The checker run as a program, with a start folder holding the default lists and a folder of
// character files. Every JSON report a test makes is checked against the report's schema.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/cfb/writer.h"
#include "platform/files.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/character_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/report_schemas.h"

namespace checkertest {

using cfb::CompoundFileWriter;

inline const std::string kChecker = QUORVEL_CHECK_PROGRAM;

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CheckProgram : public ::testing::Test {
protected:
    CheckProgram() {
        WriteFileAtomically(start.File("AvailAnim.txt"), "Wave\r\nBow\r\nIdle\r\n");
        WriteFileAtomically(start.File("AvailState.txt"), "Resting\r\nGreeting\r\n");
        maxPath = characters.File("max.acs");
        WriteCharacterFile(maxPath, {"Max", {"Wave", "Bow", "Idle"}, {"Resting:Idle", "Greeting:Wave,Bow"}});
    }
    ProgramResult Check(std::vector<std::string> args) {
        ProgramResult result = RunProgram(kChecker, args, start.Path());
        const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
        const bool list = !args.empty() && args[0] == "list";
        if (json && result.status != 3) {
            EXPECT_MATCHES_SCHEMA(result.out, list ? "list-report.schema.json" : "check-report.schema.json");
        }
        return result;
    }
    // A second character, its "Möwe" composed (U+00F6).
    std::string Gull() {
        const std::string path = characters.File("gull.acs");
        WriteCharacterFile(path, {"Gull", {"Wave", "M\xC3\xB6we", "Idle", "Dance"},
                                  {"Resting:Idle", "Greeting:Wave"}});
        return path;
    }
    std::string Damaged() {
        const std::string path = characters.File("broken.acs");
        WriteFileAtomically(path, RootThatCannotBeEnumerated());
        return path;
    }

    TempDir start;
    TempDir characters;
    std::string maxPath;
};

}  // namespace checkertest
