// quorvel-pack: makes a character file from a folder (see pack.h), or with --unpack writes a
// character file back to a folder (see unpack.h).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/error.h"
#include "tools/check/command_line.h"
#include "tools/check/escaping.h"
#include "tools/check/tool_texts.h"
#include "tools/pack/pack.h"
#include "tools/pack/unpack.h"

namespace {

const std::string kSynopsis =
    "Usage: quorvel-pack DIR OUT.acs\n"
    "  or:  quorvel-pack --unpack FILE.acs DIR\n";

const std::string kHelp = kSynopsis +
    "Make a character file from a folder: the file named Character in DIR holds the character's\n"
    "definition, and every other file (but those whose names start with \".\") becomes an\n"
    "animation of the same name. A folder that the character data provider would refuse (no\n"
    "definition, a definition with errors, a state naming an animation the folder does not hold)\n"
    "is refused, naming the file and the line. OUT.acs is replaced only once it is complete.\n"
    "\n"
    "Options:\n"
    "  --unpack FILE.acs DIR  write the definition and the animations of FILE.acs to the folder\n"
    "                         DIR (made when missing; it must be empty), so that the character\n"
    "                         can be changed and packed again; elements that are not part of a\n"
    "                         character (storages, property sets) are left out and named;\n"
    "                         all or nothing: names are vetted first (two streams named alike\n"
    "                         but for case are refused), and a failure removes what was written\n"
    "  -h, --help             print this help and exit\n"
    "  -V, --version          print the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0  the file or the folder was written\n"
    "  2  a file or a folder could not be used: the folder or the character file was refused,\n"
    "     or the result could not be written\n"
    "  3  usage error\n"
    "The same statuses hold for quorvel-check, where 1 means that some names are missing.\n"
    "\n"
    "Example:\n"
    "  quorvel-pack Max Max.acs && quorvel-pack --unpack Max.acs Max-copy\n";

int Usage(const std::string& problem) { return UsageError("quorvel-pack", problem, kSynopsis); }

constexpr OptionDecl kSpecs[] = {{"help", 'h', ""}, {"version", 'V', ""}, {"unpack", 0, ""}};

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = ReadCommandLine(std::vector<std::string>(argv + 1, argv + argc), kSpecs);
    // --help and --version answer whatever follows them.
    for (const auto& given : line.options) {
        if (given.decl->name == "help") return PrintText(kHelp) ? 0 : kCouldNotUse;
        if (given.decl->name == "version") return PrintText(VersionText("quorvel-pack")) ? 0 : kCouldNotUse;
    }
    if (!line.problem.empty()) return Usage(line.problem);
    const bool unpack = line.Find("unpack") != nullptr;
    const std::vector<std::string>& args = line.operands;
    if (args.size() != 2) return Usage(unpack ? "--unpack takes a character file and a folder"
                                              : "give a folder and the character file to make");
    try {
        if (unpack) {
            for (const auto& name : pack::UnpackCharacter(args[0], args[1]))
                std::fprintf(stderr, "quorvel-pack: %s: left out, not part of a character: %s\n",
                             TerminalText(args[0]).c_str(), TerminalText(name).c_str());
        } else {
            pack::BuildCharacter(args[0]).SaveToFile(args[1]);
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "quorvel-pack: %s\n", TerminalText(error.Message()).c_str());
        return kCouldNotUse;
    }
    return 0;
}
