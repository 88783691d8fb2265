// quorvel-pack DIR OUT.acs: makes a character file from a folder (see pack.h). Exit status 0 when
// the file was written, 1 when the folder was refused or the file could not be written, 2 for
// wrong usage.
#include <cstdio>
#include <string>

#include "platform/error.h"
#include "tools/pack/pack.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvel-pack DIR OUT.acs\n");
        return 2;
    }
    try {
        pack::BuildCharacter(argv[1]).SaveToFile(argv[2]);
    } catch (const Error& error) {
        std::fprintf(stderr, "quorvel-pack: %s\n", error.what());
        return 1;
    }
    return 0;
}
