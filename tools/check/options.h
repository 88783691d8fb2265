// The command line of quorvel-check: `list FILE...`, or character files to check with the options
// that say which name lists to use and what to do with the results.
#pragma once

#include <string>
#include <vector>

struct CheckOptions {
    // What standard output carries: the text report, the JSON report, SARIF, GitHub workflow
    // commands or a GitLab Code Quality report.
    enum class Format { Text, Json, Sarif, Github, Gitlab };
    // Whether the text report is coloured: when standard output is a terminal and NO_COLOR is
    // not set, always, or never.
    enum class Color { Auto, Always, Never };
    std::vector<std::string> files;  // as given, in order
    std::string animationList = "AvailAnim.txt";
    std::string stateList = "AvailState.txt";
    Format format = Format::Text;
    Color color = Color::Auto;
    bool quiet = false;     // the text report shows only what is not valid, and the summary
    std::string junitFile;  // where to write a JUnit XML report as well; empty for none
    std::string sarifFile;  // where to write a SARIF report as well; empty for none
    bool save = false;
    int jobs = 1;  // files checked at a time
};

struct ListOptions {
    // Whether the listing lines are written with their control characters escaped: when standard
    // output is a terminal, always, or never.
    enum class Escape { Auto, Always, Never };
    std::vector<std::string> files;  // as given, in order
    bool json = false;
    Escape escape = Escape::Auto;
};

struct Command {
    enum class Kind { Help, Version, Explain, List, Check, Usage };
    Kind kind = Kind::Usage;
    ListOptions list;     // Kind::List
    CheckOptions check;   // Kind::Check
    std::string rule;     // Kind::Explain: the id of a rule
    std::string problem;  // Kind::Usage: what is wrong with the command line
};

// Reads the arguments after the program name, as command_line.h reads any command line.
Command ParseCommand(const std::vector<std::string>& args);

// The text of --help, which lists the rules; the short reminder printed after a usage error,
// which begins it.
std::string CheckHelp();
extern const std::string kCheckSynopsis;

// The upper bound of --jobs: more threads than this only cost memory.
inline constexpr int kMaxJobs = 64;
