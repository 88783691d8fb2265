#include "tools/check/command_line.h"

#include <getopt.h>

#include <algorithm>

namespace {

// Values of the long options: past every character, so that a value tells the option apart from
// a letter that getopt_long did not know.
constexpr int kFirstLongValue = 256;

std::string DashedName(const OptionDecl& decl) { return "--" + std::string(decl.name); }

// The options' long names must outlive the reading: getopt_long keeps pointers to them.
struct LongOptions {
    std::vector<std::string> names;
    std::vector<option> table;
    std::string letters = "-:";  // operands come back in order as 1; a missing value as ':'

    explicit LongOptions(std::span<const OptionDecl> decls) {
        names.reserve(decls.size());
        for (std::size_t i = 0; i < decls.size(); ++i) {
            names.emplace_back(decls[i].name);
            const int hasValue = decls[i].needs.empty() ? no_argument : required_argument;
            table.push_back({names.back().c_str(), hasValue, nullptr, kFirstLongValue + static_cast<int>(i)});
            if (decls[i].letter) letters += std::string(1, decls[i].letter) + (hasValue ? ":" : "");
        }
        table.push_back({nullptr, 0, nullptr, 0});
    }
};

const OptionDecl* DeclOf(int value, std::span<const OptionDecl> decls) {
    if (value >= kFirstLongValue && value - kFirstLongValue < static_cast<int>(decls.size()))
        return &decls[static_cast<std::size_t>(value - kFirstLongValue)];
    for (const auto& decl : decls)
        if (decl.letter && decl.letter == value) return &decl;
    return nullptr;
}

// What getopt_long refused in `arg`: an option it does not know, one it cannot tell from
// another, or a value given to an option that takes none.
std::string Refused(const std::string& arg, const OptionDecl* decl, std::span<const OptionDecl> decls,
                    std::string_view unknownContext) {
    if (decl && arg.starts_with("--")) return "option " + DashedName(*decl) + " takes no value";
    const std::string given = arg.substr(0, arg.find('='));
    const auto begins = [&](const OptionDecl& s) { return DashedName(s).starts_with(given); };
    if (given.size() > 2 && given.starts_with("--") && std::count_if(decls.begin(), decls.end(), begins) > 1)
        return "option " + given + " is ambiguous";
    return "unknown option " + arg + std::string(unknownContext);
}

}  // namespace

const GivenOption* CommandLine::Find(std::string_view name) const {
    for (const auto& given : options)
        if (given.decl->name == name) return &given;
    return nullptr;
}

CommandLine ReadCommandLine(const std::vector<std::string>& args, std::span<const OptionDecl> decls,
                            std::string_view unknownContext) {
    CommandLine line;
    const LongOptions longOptions(decls);
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
        const OptionDecl* decl = DeclOf(result == '?' || result == ':' ? optopt : result, decls);
        if (result == '?') {
            line.problem = Refused(arg, decl, decls, unknownContext);
            return line;
        }
        if (result == ':' || (decl && !decl->needs.empty() && *optarg == '\0')) {
            line.problem = "option " + DashedName(*decl) + " needs " + std::string(decl->needs);
            return line;
        }
        if (!decl->needs.empty() && line.Find(decl->name)) {
            line.problem = "option " + DashedName(*decl) + " given twice";
            return line;
        }
        line.options.push_back({decl, decl->needs.empty() ? std::string() : std::string(optarg)});
    }
    for (int i = optind; i < argc; ++i) line.operands.push_back(storage[static_cast<std::size_t>(i)]);
    return line;
}
