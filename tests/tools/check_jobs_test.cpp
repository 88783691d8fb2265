// Checking several files at a time reports exactly as one job does.
#include "tests/tools/checker_fixture.h"

namespace {

using namespace checkertest;

class CheckJobs : public CheckProgram {};

TEST_F(CheckJobs, ParallelJobsReportExactlyAsOneJobInTheOrderGiven) {
    std::vector<std::string> files;
    std::filesystem::create_directory(characters.File("sub"));
    for (int i = 0; i < 9; ++i) {
        const std::string path = characters.File("sub/c" + std::to_string(i) + ".acs");
        if (i % 3 == 0) WriteCharacterFile(path, {"C" + std::to_string(i), {"Wave"}, {"Resting:Wave"}});
        else if (i % 3 == 1) std::filesystem::copy_file(maxPath, path);
        else WriteFileAtomically(path, RootThatCannotBeEnumerated());
        // Relative names are taken against the folder the checker started in, for every file.
        files.push_back(i % 2 ? path : std::filesystem::relative(path, start.Path()).string());
    }
    files.push_back(characters.File("none.acs"));
    auto run = [&](const std::string& jobs, bool json) {
        std::vector<std::string> args{"--jobs", jobs, "--save", "--junit", "r" + jobs + ".xml"};
        if (json) args.push_back("--json");
        args.insert(args.end(), files.begin(), files.end());
        return Check(args);
    };
    for (bool json : {false, true}) {
        const ProgramResult one = run("1", json);
        const ProgramResult three = run("3", json);
        EXPECT_EQ(one.status, 2);
        EXPECT_NE(one.out.find(json ? "\"failed\": 4" : "10 files: 3 all valid, 3 with missing names, 0 not "
                                                           "checked against every list, 4 failed"),
                  std::string::npos) << one.out;
        EXPECT_EQ(three.status, one.status);
        EXPECT_EQ(three.out, one.out);
        EXPECT_EQ(three.err, one.err);
        EXPECT_EQ(ReadWholeFile(start.File("r3.xml")), ReadWholeFile(start.File("r1.xml")));
    }
    EXPECT_EQ(ReadWholeFile(start.File("AC0.txt")), "Wave\r\n");
    EXPECT_EQ(ReadWholeFile(start.File("AMax.txt")), "Wave\r\nBow\r\nIdle\r\n");
}

}  // namespace
