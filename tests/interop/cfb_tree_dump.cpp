// Prints a compound file's tree as our reader sees it, one element a line, for the
// interoperability scripts to compare with a peer's view:
//   DEPTH <tab> storage|stream <tab> NAME <tab> SIZE <tab> FNV-1a-64 of the content (streams)
// NAME is UTF-8 with control characters and "\" written as \xNN.
//
// Usage: cfb_tree_dump FILE
#include <cstdio>
#include <string>

#include "platform/codepage.h"
#include "tree_listing.h"

namespace {

std::string EscapeName(const std::u16string& name) {
    std::string escaped;
    std::u16string plain;  // converted as a run, so surrogate pairs stay together
    for (const char16_t unit : name) {
        if (unit >= 0x20 && unit != u'\\') {
            plain += unit;
            continue;
        }
        escaped += WideToAnsi(plain);
        plain.clear();
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(unit));
        escaped += hex;
    }
    return escaped + WideToAnsi(plain);
}

std::uint64_t Fnv1a64(const std::string& bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cfb_tree_dump FILE\n");
        return 2;
    }
    try {
        for (const ListedElement& e : ListTree(argv[1])) {
            std::printf("%d\t%s\t%s\t%llu", e.depth, e.isStorage ? "storage" : "stream",
                        EscapeName(e.name).c_str(), static_cast<unsigned long long>(e.size));
            if (!e.isStorage)
                std::printf("\t%016llx", static_cast<unsigned long long>(Fnv1a64(e.content)));
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cfb_tree_dump: %s\n", e.what());
        return 1;
    }
    return 0;
}
