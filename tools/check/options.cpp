#include "tools/check/options.h"

#include <charconv>

const std::string kCheckSynopsis =
    "Usage: quorvel-check [OPTION]... FILE.acs...\n"
    "  or:  quorvel-check list [--json] [--escape=WHEN] FILE...\n"
    "  or:  quorvel-check cat FILE ELEMENT\n";

const std::string kCheckUsage = kCheckSynopsis +
    "Check character files as the window does: list the storage elements, connect to the\n"
    "character data provider and put every name of the two expected-name lists to it. For each\n"
    "file, report the character's name, the storage element total, the animation total, the\n"
    "unknown animations (animations in storage less those verified), and for each list its valid,\n"
    "missing, duplicate and blank names with their counts, a hint for each missing name where one\n"
    "applies, and the names the character holds that the list does not name (unlisted).\n"
    "\n"
    "Options:\n"
    "  --animations=LIST  the expected animation names (default: AvailAnim.txt in the current\n"
    "                     directory)\n"
    "  --states=LIST      the expected state names (default: AvailState.txt in the current\n"
    "                     directory)\n"
    "  --json             print the report as JSON (its schema: docs/check-report.schema.json;\n"
    "                     bytes that are not valid UTF-8 become U+FFFD)\n"
    "  --junit=FILE       also write a JUnit XML report to FILE: one test suite per character\n"
    "                     file, one test case per list line, a failure for each missing name\n"
    "  -q, --quiet        print only the files that are not all valid, without their valid\n"
    "                     names, and the summary\n"
    "  -j, --jobs=N       check N files at a time (1 to 64; default 1); the report is the same\n"
    "                     as with one job, in the order the files were given\n"
    "  --save             write the valid lists as the window's Save command does:\n"
    "                     A<character>.txt and S<character>.txt in the current directory, one\n"
    "                     name per line ended by CR LF; an empty list is not written\n"
    "  -h, --help         print this help and exit\n"
    "  -V, --version      print the version and exit\n"
    "\n"
    "Listing:\n"
    "  list FILE...       print the storage listing of each FILE, one line each, as the window's\n"
    "                     StoFile page shows it\n"
    "  list --json FILE...  print each element's name, type, size and depth as JSON (its schema:\n"
    "                     docs/list-report.schema.json)\n"
    "  list --escape=WHEN  write control characters, bytes that are not UTF-8 and the backslash\n"
    "                     in the listing lines as \\xNN: WHEN is auto (when standard output is a\n"
    "                     terminal, the default), always or never; otherwise the lines are\n"
    "                     written as they are, byte for byte\n"
    "  cat FILE ELEMENT   write the bytes of one stream to standard output; ELEMENT is the names\n"
    "                     from the root separated by /, as list --json gives them\n"
    "\n"
    "Names:\n"
    "A list holds one name per line; each line is one name, however long (the window's States\n"
    "page wraps long lines into several names, the checker does not). The names are tested in\n"
    "list order:\n"
    "  valid      names the provider accepted, repeats included (what --save writes)\n"
    "  missing    names the provider did not accept, blank lines left out\n"
    "  duplicate  every further occurrence of a name already listed, compared without regard to\n"
    "             case as the character file does (\"Wave\", \"wave\" and \"Wave\": two duplicates)\n"
    "  blank      empty lines, given by line number; they are put to the provider like any name\n"
    "  unlisted   names the character holds that no line of the list names\n"
    "A hint points at white space around a name, a byte-order mark at the start of the list file,\n"
    "a held name in another Unicode normalization, a name held as the other kind (a state in the\n"
    "animation list) and the nearest held names. Hints never change a verdict; they need a data\n"
    "provider that lists the character's names, and the report says when they are unavailable.\n"
    "Names are printed with control characters and backslashes escaped as \\xNN.\n"
    "--save never replaces either list: a save file that is one of them (by name, or the same file\n"
    "through a link) is refused with the reason before anything is written.\n"
    "\n"
    "Messages:\n"
    "Messages (\"AvailAnim file not found.\", \"Enum Failed\", ...) and errors go to standard\n"
    "error, each after the name of the file it concerns, with the reason a file could not be used\n"
    "(no such file, a folder, permission denied, locked by another program, not a compound file,\n"
    "or the damaged structure). Character files are opened for reading only, shared with other\n"
    "readers. Relative names are taken against the current directory at start. File names need\n"
    "not be UTF-8. Paths and names in messages are escaped as in the report, always.\n"
    "\n"
    "Exit status:\n"
    "  0  every name valid (duplicates and blank lines do not count against it); for list, every\n"
    "     file listed completely\n"
    "  1  some names missing\n"
    "  2  a file, a list or the provider could not be used (a list file not found included), a\n"
    "     file's storage listing is incomplete (\"Enum Failed\" or \"Count not open subStorage\":\n"
    "     a storage could not be listed, in check and in list), or a report or a valid list could\n"
    "     not be written\n"
    "  3  usage error\n"
    "With several files the worst status wins and a summary line follows the reports. The same\n"
    "statuses hold for quorvel-pack.\n"
    "\n"
    "Example:\n"
    "  quorvel-check --animations anims.txt --states states.txt --save Tobin.acs\n";

namespace {

Command Usage(std::string problem) {
    Command command;
    command.kind = Command::Kind::Usage;
    command.problem = std::move(problem);
    return command;
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

Command ParseList(const std::vector<std::string>& args) {
    Command command;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !IsOption(arg)) {
            command.list.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            command.list.json = true;
        } else if (arg == "--escape" || arg.starts_with("--escape=")) {
            std::string when;
            if (arg != "--escape") when = arg.substr(9);
            else if (i + 1 < args.size()) when = args[++i];
            if (when == "auto") command.list.escape = ListOptions::Escape::Auto;
            else if (when == "always") command.list.escape = ListOptions::Escape::Always;
            else if (when == "never") command.list.escape = ListOptions::Escape::Never;
            else return Usage("option --escape needs auto, always or never");
        } else {
            return Usage("unknown option " + arg + " for list");
        }
    }
    if (command.list.files.empty()) return Usage("list needs a file");
    command.kind = Command::Kind::List;
    return command;
}

// The value of --jobs: a whole number from 1 to kMaxJobs.
bool ParseJobs(const std::string& value, int& jobs) {
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, jobs);
    return error == std::errc() && stop == end && jobs >= 1 && jobs <= kMaxJobs;
}

}  // namespace

Command ParseCommand(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "list") return ParseList(args);
    Command command;
    CheckOptions& options = command.check;
    bool animationsGiven = false, statesGiven = false, junitGiven = false, jobsGiven = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !IsOption(arg)) {
            options.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            command.kind = Command::Kind::Help;
            return command;
        }
        if (arg == "-V" || arg == "--version") {
            command.kind = Command::Kind::Version;
            return command;
        }
        const std::size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        if (name == "-j") name = "--jobs";
        if (name == "-q") name = "--quiet";
        const bool takesValue =
            name == "--animations" || name == "--states" || name == "--junit" || name == "--jobs";
        if (!takesValue && equals != std::string::npos)
            return Usage("option " + name + " takes no value");
        if (name == "--json") {
            options.json = true;
        } else if (name == "--save") {
            options.save = true;
        } else if (name == "--quiet") {
            options.quiet = true;
        } else if (takesValue) {
            const std::string needs = "option " + name + " needs " +
                                      (name == "--jobs"    ? "a number"
                                       : name == "--junit" ? "a file name"
                                                           : "a list file");
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return Usage(needs);
            }
            if (value.empty()) return Usage(needs);
            bool& given = name == "--animations" ? animationsGiven
                          : name == "--states"   ? statesGiven
                          : name == "--junit"    ? junitGiven
                                                 : jobsGiven;
            if (given) return Usage("option " + name + " given twice");
            given = true;
            if (name == "--jobs") {
                if (!ParseJobs(value, options.jobs))
                    return Usage("option --jobs needs a whole number from 1 to " +
                                 std::to_string(kMaxJobs) + ", not " + value);
            } else {
                (name == "--animations" ? options.animationList
                 : name == "--states"   ? options.stateList
                                        : options.junitFile) = value;
            }
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (options.files.empty()) return Usage("no character file given");
    command.kind = Command::Kind::Check;
    return command;
}
