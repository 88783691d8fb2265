// Reading a command line into the options it gives and its operands, by the C library's
// getopt_long, for both command-line tools: options may stand anywhere among the operands, take
// their value as the next argument or after "=", may be shortened to any unambiguous beginning
// of their name, and "--" ends them. The first problem ends the reading with its description.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

struct OptionDecl {
    std::string_view name;   // the long name, without "--"
    char letter = 0;         // the one-letter form, 0 for none
    std::string_view needs;  // what its value is ("a list file"), empty for an option without one
};

struct GivenOption {
    const OptionDecl* decl;
    std::string value;  // empty for an option without a value
};

struct CommandLine {
    std::vector<GivenOption> options;   // in the order given, up to the first problem
    std::vector<std::string> operands;  // in the order given
    // The first problem: an unknown or ambiguous option, a value given to an option without one,
    // a missing or empty value, an option with a value given twice. Empty when there is none.
    std::string problem;

    // The option given by that long name; nullptr when it was not given.
    const GivenOption* Find(std::string_view name) const;
};

// `unknownContext` follows the text of an unknown option (" for list").
CommandLine ReadCommandLine(const std::vector<std::string>& args, std::span<const OptionDecl> decls,
                            std::string_view unknownContext = "");
