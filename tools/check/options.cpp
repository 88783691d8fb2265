#include "tools/check/options.h"

const char* const kCheckUsage =
    "usage: quorvel-check [OPTIONS] FILE.acs...\n"
    "       quorvel-check list FILE\n"
    "\n"
    "Checks character files as the window does: lists the storage elements, connects to the\n"
    "character data provider and puts every name of the two expected-name lists to it. For each\n"
    "file it reports the character's name, the storage element total, the animation total, the\n"
    "unknown animations (animations in storage less those verified), and for each list its valid,\n"
    "missing, duplicate and blank names with their counts.\n"
    "\n"
    "  --animations LIST  the expected animation names (default: AvailAnim.txt in the current\n"
    "                     directory)\n"
    "  --states LIST      the expected state names (default: AvailState.txt in the current\n"
    "                     directory)\n"
    "  --json             print the report as JSON (keys and their order in docs/checker.md;\n"
    "                     bytes that are not valid UTF-8 become U+FFFD)\n"
    "  --save             write the valid lists as the window's Save command does:\n"
    "                     A<character>.txt and S<character>.txt in the current directory, one\n"
    "                     name per line ended by CR LF; an empty list is not written\n"
    "  -h, --help         print this text\n"
    "  list FILE          print the storage listing of FILE, one line each, as the window's\n"
    "                     StoFile page shows it\n"
    "\n"
    "A list holds one name per line; each line is one name, however long (the window's States page\n"
    "wraps long lines into several names, the checker does not). The names are tested in list\n"
    "order:\n"
    "  valid      names the provider accepted, repeats included (what --save writes)\n"
    "  missing    names the provider did not accept, blank lines left out\n"
    "  duplicate  every further occurrence of a name already listed, compared without regard to\n"
    "             case as the character file does (\"Wave\", \"wave\" and \"Wave\": two duplicates)\n"
    "  blank      empty lines, given by line number; they are put to the provider like any name\n"
    "Names are printed with control characters and backslashes escaped as \\xNN.\n"
    "Messages (\"AvailAnim file not found.\", \"Enum Failed\", ...) and errors go to standard error,\n"
    "each after the name of the file it concerns.\n"
    "\n"
    "Relative names are taken against the current directory at start.\n"
    "\n"
    "Exit status: 0 when every name is valid (duplicates and blank lines do not count against\n"
    "it); 1 when some names are missing; 2 when a character file, a list file or the provider\n"
    "could not be used (a missing list file included), or saving failed; 3 for a usage error.\n"
    "With several files the worst status wins and a summary line follows the reports.\n"
    "\n"
    "example:\n"
    "  quorvel-check --animations anims.txt --states states.txt --save Tobin.acs\n";

namespace {

Command Usage(std::string problem) {
    Command command;
    command.kind = Command::Kind::Usage;
    command.problem = std::move(problem);
    return command;
}

}  // namespace

Command ParseCommand(const std::vector<std::string>& args) {
    Command command;
    if (!args.empty() && args[0] == "list") {
        if (args.size() != 2) return Usage("list takes exactly one file");
        command.kind = Command::Kind::List;
        command.listFile = args[1];
        return command;
    }
    CheckOptions& options = command.check;
    bool animationsGiven = false, statesGiven = false, optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
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
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool takesValue = name == "--animations" || name == "--states";
        if (!takesValue && equals != std::string::npos)
            return Usage("option " + name + " takes no value");
        if (name == "--json") {
            options.json = true;
        } else if (name == "--save") {
            options.save = true;
        } else if (takesValue) {
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return Usage("option " + name + " needs a list file");
            }
            if (value.empty()) return Usage("option " + name + " needs a list file");
            bool& given = name == "--animations" ? animationsGiven : statesGiven;
            if (given) return Usage("option " + name + " given twice");
            given = true;
            (name == "--animations" ? options.animationList : options.stateList) = value;
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (options.files.empty()) return Usage("no character file given");
    command.kind = Command::Kind::Check;
    return command;
}
