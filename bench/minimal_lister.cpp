// minimal_lister FILE: the floor for the listing comparison. Prints the lines of
// `quorvel-check list FILE` for well-formed files with ASCII names, doing only what any lister
// must: map the file, follow the FAT to the directory's sectors, walk every storage's sibling
// tree in order where the entries lie, and write the lines in large pieces. It leaves out what
// makes the real listing safe and faithful (locking, the checks of every table and link,
// looking child storages up by name, the general name conversion), so the real listing can
// only come near it, never beat it. Exit status 2 for a file it cannot follow.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const unsigned char* data;
std::uint64_t fileSize;
unsigned shift;

std::uint32_t U32(std::uint64_t at) {
    std::uint32_t v;
    std::memcpy(&v, data + at, 4);
    return v;
}

const unsigned char* Sector(std::uint32_t s) {
    const std::uint64_t at = (std::uint64_t{s} + 1) << shift;
    return at + (std::uint64_t{1} << shift) <= fileSize ? data + at : nullptr;
}

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "minimal_lister: %s\n", why);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) Fail("usage: minimal_lister FILE");
    const int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < 512) Fail("cannot open the file");
    fileSize = static_cast<std::uint64_t>(st.st_size);
    data = static_cast<const unsigned char*>(mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, fd, 0));
    if (data == MAP_FAILED) Fail("cannot map the file");
    shift = data[0x1E];
    if (shift != 9 && shift != 12) Fail("unknown sector size");
    const std::uint32_t perSector = (1u << shift) / 4;
    const std::uint64_t sectors = fileSize >> shift;

    // FAT sectors from the header's DIFAT and the DIFAT chain; directory sectors from the FAT.
    std::vector<std::uint32_t> fat;
    const std::uint32_t fatCount = U32(0x2C);
    for (std::uint32_t i = 0; i < 109 && fat.size() < fatCount; ++i) fat.push_back(U32(0x4C + 4 * i));
    for (std::uint32_t next = U32(0x44), steps = 0; fat.size() < fatCount && steps < sectors; ++steps) {
        const unsigned char* difat = Sector(next);
        if (!difat) Fail("bad DIFAT");
        for (std::uint32_t i = 0; i + 1 < perSector && fat.size() < fatCount; ++i)
            fat.push_back(U32(difat - data + 4 * i));
        next = U32(difat - data + 4 * (perSector - 1));
    }
    std::vector<const unsigned char*> dir;
    for (std::uint32_t s = U32(0x30); s < 0xFFFFFFFA && dir.size() < sectors;) {
        if (!Sector(s) || s / perSector >= fat.size() || !Sector(fat[s / perSector])) Fail("bad chain");
        dir.push_back(Sector(s));
        s = U32(Sector(fat[s / perSector]) - data + 4 * (s % perSector));
    }
    const std::uint32_t entriesPerSector = (1u << shift) / 128;
    const std::uint64_t entries = dir.size() * std::uint64_t{entriesPerSector};
    auto entry = [&](std::uint32_t id) { return dir[id / entriesPerSector] + 128 * (id % entriesPerSector); };
    auto link = [&](std::uint32_t id, int at) {
        std::uint32_t v;
        std::memcpy(&v, entry(id) + at, 4);
        return v;
    };

    std::string out = std::string("Storage ") + argv[1] + "\n";
    auto flush = [&] {
        fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    };
    std::vector<bool> seen(entries);
    // Each level: a storage's in-order walk, as the stack of entries whose left side is done.
    std::vector<std::vector<std::uint32_t>> levels;
    auto enter = [&](std::uint32_t storage) {
        levels.emplace_back();
        for (std::uint32_t id = link(storage, 0x4C); id < entries && !seen[id]; id = link(id, 0x44)) {
            seen[id] = true;
            levels.back().push_back(id);
        }
    };
    enter(0);
    while (!levels.empty()) {
        if (levels.back().empty()) {
            levels.pop_back();
            out += "End Storage (Unknown)\n";
            continue;
        }
        const std::uint32_t id = levels.back().back();
        levels.back().pop_back();
        for (std::uint32_t r = link(id, 0x48); r < entries && !seen[r]; r = link(r, 0x44)) {
            seen[r] = true;
            levels.back().push_back(r);
        }
        const unsigned char* e = entry(id);
        const bool storage = e[0x42] == 1;
        out += storage ? "Storage " : "Stream ";
        const unsigned units = std::min<unsigned>((e[0x40] | e[0x41] << 8) / 2, 32);
        for (unsigned i = 0; i + 1 < units && e[2 * i]; ++i) out += static_cast<char>(e[2 * i]);
        out += " Size: ";
        char digits[24];
        std::uint64_t size = 0;
        if (!storage) std::memcpy(&size, e + 0x78, shift == 9 ? 4 : 8);
        out.append(digits, std::to_chars(digits, digits + sizeof digits, size).ptr);
        out += '\n';
        if (storage) enter(id);
        if (out.size() >= 65536) flush();
    }
    flush();
    return std::fflush(stdout) == 0 ? 0 : 2;
}
