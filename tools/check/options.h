// The command line of quorvel-check: `list FILE`, or character files to check with the options
// that say which name lists to use and what to do with the results.
#pragma once

#include <string>
#include <vector>

struct CheckOptions {
    std::vector<std::string> files;  // as given, in order
    std::string animationList = "AvailAnim.txt";
    std::string stateList = "AvailState.txt";
    bool json = false;
    bool save = false;
};

struct Command {
    enum class Kind { Help, List, Check, Usage };
    Kind kind = Kind::Usage;
    std::string listFile;  // Kind::List
    CheckOptions check;    // Kind::Check
    std::string problem;   // Kind::Usage: what is wrong with the command line
};

// Reads the arguments after the program name. Options may stand anywhere among the files and
// take their value as the next argument or after "="; "--" ends the options.
Command ParseCommand(const std::vector<std::string>& args);

// The text of --help.
extern const char* const kCheckUsage;
