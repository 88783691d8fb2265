// Runs a program of the build and collects its exit status and output, for tests of the
// command-line tools.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"

struct ProgramResult {
    int status = -1;  // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workingDir = "") {
    const std::string scratch = ::testing::TempDir() + "quorvel-run-" + std::to_string(::getpid());
    const std::string outPath = scratch + ".out", errPath = scratch + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string previous = GetCurrentDir();
    if (!workingDir.empty()) ChangeDir(workingDir);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ChangeDir(previous);
    posix_spawn_file_actions_destroy(&actions);
    ProgramResult result;
    if (spawned != 0) return result;
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = ReadWholeFile(outPath);
    result.err = ReadWholeFile(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return result;
}
