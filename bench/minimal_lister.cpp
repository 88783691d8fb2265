// minimal_lister FILE: the floor for the listing comparison. Prints the lines of
// `quorvel-check list FILE` for well-formed files with ASCII names, doing as little as any lister
// can: map the file, trust it, follow the FAT to the directory's sectors, walk every storage's
// sibling tree in order with one stack of entry ids, and copy each line into one output buffer
// written in large pieces. No check of any table or link, no allocation per element, no name
// conversion, no lookup of child storages by name: the real listing can only come near it, never
// beat it. Written in the C subset on purpose. Exit status 2 for a file it cannot map.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const unsigned char* data;
std::uint64_t fileSize;
unsigned shift;

std::uint32_t U32(const unsigned char* at) {
    std::uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

const unsigned char* Sector(std::uint32_t s) { return data + ((std::uint64_t{s} + 1) << shift); }

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "minimal_lister: %s\n", why);
    std::exit(2);
}

constexpr std::size_t kOut = 1 << 20;
char out[kOut + 512];
std::size_t used;

void Put(const char* text, std::size_t length) {
    std::memcpy(out + used, text, length);
    used += length;
}

void Flush() {
    std::fwrite(out, 1, used, stdout);
    used = 0;
}

void PutNumber(std::uint64_t value) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    do {
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    Put(at, static_cast<std::size_t>(end - at));
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
    const std::uint32_t perSector = (1u << shift) / 4;
    const std::uint64_t sectors = fileSize >> shift;

    // FAT sectors from the header's DIFAT and the DIFAT chain, then the directory's sectors.
    const std::uint32_t fatCount = U32(data + 0x2C);
    auto* fat = static_cast<const unsigned char**>(std::malloc((fatCount + 1) * sizeof(void*)));
    std::uint32_t fats = 0;
    for (std::uint32_t i = 0; i < 109 && fats < fatCount; ++i) fat[fats++] = Sector(U32(data + 0x4C + 4 * i));
    for (std::uint32_t next = U32(data + 0x44); fats < fatCount;) {
        const unsigned char* difat = Sector(next);
        for (std::uint32_t i = 0; i + 1 < perSector && fats < fatCount; ++i) fat[fats++] = Sector(U32(difat + 4 * i));
        next = U32(difat + 4 * (perSector - 1));
    }
    auto* dir = static_cast<const unsigned char**>(std::malloc(sectors * sizeof(void*)));
    std::uint64_t dirSectors = 0;
    for (std::uint32_t s = U32(data + 0x30); s < 0xFFFFFFFA; s = U32(fat[s / perSector] + 4 * (s % perSector)))
        dir[dirSectors++] = Sector(s);
    const std::uint32_t entryShift = shift - 7;
    const std::uint32_t entryMask = (1u << entryShift) - 1;
    auto entry = [&](std::uint32_t id) { return dir[id >> entryShift] + 128 * (id & entryMask); };

    // One stack for the whole walk: entries whose left subtree is done, and marks for the end of
    // a storage. A storage's children go on above its right siblings, its end mark between them.
    constexpr std::uint32_t kEndMark = 0xFFFFFFFF;
    auto* stack = static_cast<std::uint32_t*>(std::malloc((2 * (dirSectors << entryShift) + 2) * 4));
    std::size_t depth = 0;
    auto pushLeftSpine = [&](std::uint32_t id) {
        for (; id < 0xFFFFFFFA; id = U32(entry(id) + 0x44)) stack[depth++] = id;
    };
    Put("Storage ", 8);
    Put(argv[1], std::strlen(argv[1]));
    Put("\n", 1);
    stack[depth++] = kEndMark;
    pushLeftSpine(U32(entry(0) + 0x4C));
    while (depth > 0) {
        const std::uint32_t id = stack[--depth];
        if (id == kEndMark) {
            Put("End Storage (Unknown)\n", 22);
        } else {
            const unsigned char* e = entry(id);
            pushLeftSpine(U32(e + 0x48));
            const bool storage = e[0x42] == 1;
            if (storage) Put("Storage ", 8);
            else Put("Stream ", 7);
            char* name = out + used;
            const unsigned units = (e[0x40] | e[0x41] << 8) / 2 - 1;
            for (unsigned i = 0; i < units; ++i) name[i] = static_cast<char>(e[2 * i]);
            used += units;
            Put(" Size: ", 7);
            std::uint64_t size = 0;
            if (!storage) std::memcpy(&size, e + 0x78, shift == 9 ? 4 : 8);
            PutNumber(size);
            Put("\n", 1);
            if (storage) {
                stack[depth++] = kEndMark;
                pushLeftSpine(U32(e + 0x4C));
            }
        }
        if (used >= kOut) Flush();
    }
    Flush();
    return std::fflush(stdout) == 0 ? 0 : 2;
}
