#include "tools/check/options.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>

#include "tools/check/command_line.h"
#include "tools/check/findings.h"

const std::string kCheckSynopsis =
    "Usage: quorvel-check [OPTION]... FILE.acs...\n"
    "  or:  quorvel-check list [--json] [--escape=WHEN] FILE...\n"
    "  or:  quorvel-check cat FILE ELEMENT\n"
    "  or:  quorvel-check --explain=RULE\n";

namespace {

// Follows the synopsis; @RULES@ stands for the list of rules.
const char kCheckHelpText[] =
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
    "  --format=FORMAT    what standard output carries: text (the default), json, sarif\n"
    "                     (SARIF 2.1.0, for code scanning), github (workflow commands that\n"
    "                     annotate the lines concerned) or gitlab (a Code Quality report);\n"
    "                     the exit status is the same in every format\n"
    "  --json             the same as --format=json (its schema: docs/check-report.schema.json;\n"
    "                     bytes that are not valid UTF-8 become U+FFFD)\n"
    "  --sarif=FILE       also write a SARIF report to FILE\n"
    "  --junit=FILE       also write a JUnit XML report to FILE: one test suite per character\n"
    "                     file, one test case per list line, a failure for each missing name\n"
    "  --color=WHEN       colour the text report: auto (when standard output is a terminal and\n"
    "                     NO_COLOR is not set, the default), always or never\n"
    "  -q, --quiet        print only the files that are not all valid, without their valid\n"
    "                     names, and the summary\n"
    "  -j, --jobs=N       check N files at a time (1 to 64; default 1); the report is the same\n"
    "                     as with one job, in the order the files were given; while standard\n"
    "                     error is a terminal, a line there tells how many files are done\n"
    "  --save             write the valid lists as the window's Save command does:\n"
    "                     A<character>.txt and S<character>.txt in the current directory, one\n"
    "                     name per line ended by CR LF; an empty list is not written\n"
    "  --explain=RULE     print what a rule means, an example and how to fix it, and exit\n"
    "  -h, --help         print this help and exit\n"
    "  -V, --version      print the version and exit\n"
    "\n"
    "Listing:\n"
    "  list FILE...       print the storage listing of each FILE, one line each, as the window's\n"
    "                     StoFile page shows it\n"
    "  list --json FILE...  print each element's name, type, size and depth as JSON (its schema:\n"
    "                     docs/list-report.schema.json)\n"
    "  list --escape=WHEN  write control and hidden characters, bytes that are not UTF-8 and the\n"
    "                     backslash in the listing lines as \\xNN: WHEN is auto (when standard\n"
    "                     output is a terminal, the default), always or never; otherwise the\n"
    "                     lines are written as they are, byte for byte\n"
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
    "Names are printed with control characters, line separators, bidirectional controls,\n"
    "invisible characters and backslashes escaped as \\xNN.\n"
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
    "Rules:\n"
    "Every finding has a rule, listed here with its level; --explain tells more:\n"
    "@RULES@"
    "Paths in the sarif, github and gitlab formats are relative to the current directory; a\n"
    "finding about a name of a list points at the list file and its line.\n"
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

}  // namespace

namespace {

Command Usage(std::string problem) {
    Command command;
    command.kind = Command::Kind::Usage;
    command.problem = std::move(problem);
    return command;
}

// The value of --jobs: a whole number from 1 to kMaxJobs.
bool ParseJobs(const std::string& value, int& jobs) {
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, jobs);
    return error == std::errc() && stop == end && jobs >= 1 && jobs <= kMaxJobs;
}

// One of `words`, by its index; false for any other value.
template <class Choice>
bool Choose(const std::string& value, std::initializer_list<std::string_view> words, Choice& choice) {
    int index = 0;
    for (std::string_view word : words) {
        if (value == word) {
            choice = static_cast<Choice>(index);
            return true;
        }
        ++index;
    }
    return false;
}

constexpr OptionDecl kListSpecs[] = {{"json", 0, ""}, {"escape", 0, "auto, always or never"}};

constexpr OptionDecl kCheckSpecs[] = {
    {"help", 'h', ""},
    {"version", 'V', ""},
    {"explain", 0, "a rule"},
    {"animations", 0, "a list file"},
    {"states", 0, "a list file"},
    {"format", 0, "text, json, sarif, github or gitlab"},
    {"json", 0, ""},
    {"sarif", 0, "a file name"},
    {"junit", 0, "a file name"},
    {"color", 0, "auto, always or never"},
    {"quiet", 'q', ""},
    {"jobs", 'j', "a number"},
    {"save", 0, ""},
};

Command ParseList(const std::vector<std::string>& args) {
    const CommandLine line =
        ReadCommandLine(std::vector<std::string>(args.begin() + 1, args.end()), kListSpecs, " for list");
    if (!line.problem.empty()) return Usage(line.problem);
    Command command;
    command.list.files = line.operands;
    command.list.json = line.Find("json") != nullptr;
    if (const GivenOption* escape = line.Find("escape"))
        if (!Choose(escape->value, {"auto", "always", "never"}, command.list.escape))
            return Usage("option --escape needs auto, always or never");
    if (command.list.files.empty()) return Usage("list needs a file");
    command.kind = Command::Kind::List;
    return command;
}

}  // namespace

std::string CheckHelp() {
    std::string rules;
    for (const Rule& rule : Rules()) {
        std::string id = "  " + std::string(rule.id) + " (" + std::string(LevelName(rule.level)) + ")";
        id.resize(std::max<std::size_t>(id.size() + 1, 30), ' ');
        rules += id + std::string(rule.title) + "\n";
    }
    std::string text = kCheckSynopsis + kCheckHelpText;
    text.replace(text.find("@RULES@"), 7, rules);
    return text;
}

Command ParseCommand(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "list") return ParseList(args);
    const CommandLine line = ReadCommandLine(args, kCheckSpecs);
    Command command;
    // --help and --version answer whatever follows them.
    for (const auto& given : line.options) {
        if (given.decl->name == "help") command.kind = Command::Kind::Help;
        if (given.decl->name == "version") command.kind = Command::Kind::Version;
        if (command.kind != Command::Kind::Usage) return command;
    }
    if (!line.problem.empty()) return Usage(line.problem);
    CheckOptions& options = command.check;
    options.files = line.operands;
    const GivenOption* format = line.Find("format");
    if (format && !Choose(format->value, {"text", "json", "sarif", "github", "gitlab"}, options.format))
        return Usage("option --format needs text, json, sarif, github or gitlab, not " + format->value);
    if (line.Find("json")) {
        if (format && options.format != CheckOptions::Format::Json)
            return Usage("option --json asks for --format=json, not --format=" + format->value);
        options.format = CheckOptions::Format::Json;
    }
    for (const auto& given : line.options) {
        const std::string_view name = given.decl->name;
        if (name == "animations") options.animationList = given.value;
        else if (name == "states") options.stateList = given.value;
        else if (name == "junit") options.junitFile = given.value;
        else if (name == "sarif") options.sarifFile = given.value;
        else if (name == "quiet") options.quiet = true;
        else if (name == "save") options.save = true;
        else if (name == "color" && !Choose(given.value, {"auto", "always", "never"}, options.color))
            return Usage("option --color needs auto, always or never, not " + given.value);
        else if (name == "jobs" && !ParseJobs(given.value, options.jobs))
            return Usage("option --jobs needs a whole number from 1 to " + std::to_string(kMaxJobs) + ", not " +
                         given.value);
    }
    if (const GivenOption* explain = line.Find("explain")) {
        if (!FindRule(explain->value)) return Usage("no rule is named " + explain->value + "; --help lists them");
        if (!options.files.empty()) return Usage("option --explain takes no character file");
        command.kind = Command::Kind::Explain;
        command.rule = explain->value;
        return command;
    }
    if (options.files.empty()) return Usage("no character file given");
    command.kind = Command::Kind::Check;
    return command;
}
