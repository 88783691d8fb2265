#include "tools/check/command_line.h"

#include <getopt.h>

#include <algorithm>

namespace {

// Values of the long options: past every character, so that a value tells the option apart from
// a letter that getopt_long did not know.
constexpr int kFirstLongValue = 256;

std::string DashedName(const OptionSpec& spec) { return "--" + std::string(spec.name); }

// The options' long names must outlive the reading: getopt_long keeps pointers to them.
struct LongOptions {
    std::vector<std::string> names;
    std::vector<option> table;
    std::string letters = "-:";  // operands come back in order as 1; a missing value as ':'

    explicit LongOptions(std::span<const OptionSpec> specs) {
        names.reserve(specs.size());
        for (std::size_t i = 0; i < specs.size(); ++i) {
            names.emplace_back(specs[i].name);
            const int hasValue = specs[i].needs.empty() ? no_argument : required_argument;
            table.push_back({names.back().c_str(), hasValue, nullptr, kFirstLongValue + static_cast<int>(i)});
            if (specs[i].letter) letters += std::string(1, specs[i].letter) + (hasValue ? ":" : "");
        }
        table.push_back({nullptr, 0, nullptr, 0});
    }
};

const OptionSpec* SpecOf(int value, std::span<const OptionSpec> specs) {
    if (value >= kFirstLongValue && value - kFirstLongValue < static_cast<int>(specs.size()))
        return &specs[static_cast<std::size_t>(value - kFirstLongValue)];
    for (const auto& spec : specs)
        if (spec.letter && spec.letter == value) return &spec;
    return nullptr;
}

// What getopt_long refused in `arg`: an option it does not know, one it cannot tell from
// another, or a value given to an option that takes none.
std::string Refused(const std::string& arg, const OptionSpec* spec, std::span<const OptionSpec> specs,
                    std::string_view unknownContext) {
    if (spec && arg.starts_with("--")) return "option " + DashedName(*spec) + " takes no value";
    const std::string given = arg.substr(0, arg.find('='));
    const auto begins = [&](const OptionSpec& s) { return DashedName(s).starts_with(given); };
    if (given.size() > 2 && given.starts_with("--") && std::count_if(specs.begin(), specs.end(), begins) > 1)
        return "option " + given + " is ambiguous";
    return "unknown option " + arg + std::string(unknownContext);
}

}  // namespace

const GivenOption* CommandLine::Find(std::string_view name) const {
    for (const auto& given : options)
        if (given.spec->name == name) return &given;
    return nullptr;
}

CommandLine ReadCommandLine(const std::vector<std::string>& args, std::span<const OptionSpec> specs,
                            std::string_view unknownContext) {
    CommandLine line;
    const LongOptions longOptions(specs);
    std::vector<std::string> storage{"program"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());

    optind = 0;  // 0, not 1: glibc then forgets any earlier reading entirely
    opterr = 0;
    for (;;) {
        const int at = optind == 0 ? 1 : optind;
        const int result = getopt_long(argc, argv.data(), longOptions.letters.c_str(), longOptions.table.data(), nullptr);
        if (result == -1) break;
        if (result == 1) {
            line.operands.emplace_back(optarg);
            continue;
        }
        // A refused letter inside a group ("-qx") leaves optind on the group; the last one moves on.
        const std::string& arg = storage[static_cast<std::size_t>(optind > at ? optind - 1 : at)];
        const OptionSpec* spec = SpecOf(result == '?' || result == ':' ? optopt : result, specs);
        if (result == '?') {
            line.problem = Refused(arg, spec, specs, unknownContext);
            return line;
        }
        if (result == ':' || (spec && !spec->needs.empty() && *optarg == '\0')) {
            line.problem = "option " + DashedName(*spec) + " needs " + std::string(spec->needs);
            return line;
        }
        if (!spec->needs.empty() && line.Find(spec->name)) {
            line.problem = "option " + DashedName(*spec) + " given twice";
            return line;
        }
        line.options.push_back({spec, spec->needs.empty() ? std::string() : std::string(optarg)});
    }
    for (int i = optind; i < argc; ++i) line.operands.push_back(storage[static_cast<std::size_t>(i)]);
    return line;
}
