// Damaged compound files, each made from the crafted baseline with the walk through it that the
// reader must give (explore.h): a result code or a clean end of enumeration, never a crash, a
// hang or an allocation beyond a small multiple of the file's size.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "crafted_file.h"

namespace damaged {

struct Case {
    std::string name;
    std::function<std::string()> make;
    std::string walk;
    // The thread's error description after the walk's first failing call ("" when that call
    // left none), or "no failure".
    std::string reason;
};

// Test listings name a case by its name rather than its bytes.
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

inline const std::string kBaselineWalk = "[S[a:10=ok] Big:4096=ok]";

// A version 4 file of two sectors (FAT, directory) whose header claims `count` directory sectors.
inline std::string Version4WithDirectoryCount(std::uint32_t count) {
    std::string f = crafted::DirectoryOnly({crafted::Root(1), {u"a"}});
    crafted::Put32(f, cfb::header::kNumDirSectors, count);
    return f;
}

inline std::vector<Case> AllCases() {
    using namespace crafted;
    using namespace cfb;
    const std::string header = "open 0x800300FB";
    const std::string corrupt = "open 0x80030109";
    const std::string truncated = "open 0x8003001E";
    const std::string bigBroken = "[S[a:10=ok] Big:4096=0x80030109]";
    const std::string rootUnlisted = "[!0x80030109]";
    const std::string storageUnlisted = "[S[!enum 0x80030109] Big:4096=ok]";
    const std::string rootTreeDamaged = "the sibling tree under the root storage has a damaged link (a loop, an "
                                        "entry met twice, or a link to an unused entry or past the directory)";
    const std::string childOfSDamaged = "the child link of storage \"S\" leads to no usable entry (past the "
                                        "directory, to an unused entry, or back into the tree)";
    auto from = [](std::function<void(std::string&)> damage) {
        return [damage] {
            std::string f = Baseline();
            damage(f);
            return f;
        };
    };
    auto set32 = [&](std::size_t at, std::uint32_t v) { return from([=](std::string& f) { Put32(f, at, v); }); };
    auto set16 = [&](std::size_t at, std::uint16_t v) { return from([=](std::string& f) { Put16(f, at, v); }); };
    auto set8 = [&](std::size_t at, std::uint8_t v) { return from([=](std::string& f) { Put8(f, at, v); }); };
    auto cut = [&](std::size_t size) { return from([=](std::string& f) { f.resize(size); }); };
    // Adds sector 12 as a DIFAT sector whose next link is `next`, with a FAT count that needs it.
    auto difat = [&](std::uint32_t next) {
        return from([=](std::string& f) {
            f.append(kSector, '\xFF');
            Put32(f, SectorOffset(12) + kSector - 4, next);
            Put32(f, header::kNumFatSectors, 2);
            Put32(f, header::kFirstDifatSector, 12);
            Put32(f, header::kNumDifatSectors, 1);
        });
    };
    auto entry = [](std::uint32_t id, std::size_t field) { return EntryOffset(id) + field; };
    // "Big" grown by a sector 12 in which it uses 300 bytes, of which the file holds `present`.
    auto bigWithTail = [&](std::size_t present) {
        return from([=](std::string& f) {
            Put32(f, FatOffset(11), 12);
            Put32(f, FatOffset(12), kEndOfChain);
            Put32(f, entry(2, entry::kStreamSize), 4096 + 300);
            f.append(present, 'z');
        });
    };

    return {
        {"Baseline", from([](std::string&) {}), kBaselineWalk, "no failure"},
        {"EmptyFile", cut(0), header, "the file holds 0 bytes, fewer than a header's 512"},
        {"File511Bytes", cut(511), header, "the file holds 511 bytes, fewer than a header's 512"},
        {"HeaderOnly", cut(512), corrupt, "the header's FAT sector count (1) exceeds the file's 0 sectors"},
        {"PartialDirectorySector", from([=](std::string& f) {
             f.resize(1280);  // entries 2 and 3 lie past the end: never read as unused ones
             Put32(f, header::kFirstMiniFatSector, kEndOfChain);
             for (std::uint32_t i = 2; i < 12; ++i) Put32(f, FatOffset(i), kFreeSect);
         }), truncated, "the file is truncated: the directory reaches byte 1536, but the file ends at byte 1280"},
        {"TruncatedBeforeMiniFat", cut(1280), truncated,
         "the file is truncated: the directory reaches byte 1536, but the file ends at byte 1280"},
        // Cut at a sector boundary or inside a sector: a chain reaches sectors the FAT still uses.
        {"CutInsideRegularStream", cut(SectorOffset(7)), truncated,
         "the file is truncated: the sector chain of stream \"Big\" reaches sector 7, but the file ends at "
         "byte 4096, with 7 sectors"},
        {"CutInsideRegularStreamMidSector", cut(6000), truncated,
         "the file is truncated: the sector chain of stream \"Big\" reaches sector 11, but the file ends at "
         "byte 6000, with 11 sectors"},
        {"CutInsideMiniStream", cut(SectorOffset(3) + 5), truncated,
         "the file is truncated: the sector chain of stream \"Big\" reaches sector 4, but the file ends at "
         "byte 2053, with 4 sectors"},
        {"CutWhereEverySectorLostIsInUse", from([=](std::string& f) {
             for (std::uint32_t i = 12; i < 128; ++i) Put32(f, FatOffset(i), kEndOfChain);
             f.resize(SectorOffset(7));
         }), truncated,
         "the file is truncated: the sector chain of stream \"Big\" reaches sector 7, but the file ends at byte 4096, "
         "with 7 sectors"},
        // Sectors past the end that the FAT marks as used but no chain reaches, as some writers
        // leave them; a chain that reaches one past the end that the FAT marks free is damaged.
        {"FatUsesSectorsPastEndNoChainReaches", from([=](std::string& f) {
             for (std::uint32_t i = 12; i < 40; ++i) Put32(f, FatOffset(i), i + 1 < 40 ? i + 1 : kEndOfChain);
         }), kBaselineWalk, "no failure"},
        {"ChainReachesFreeSectorPastEnd", from([=](std::string& f) {
             Put32(f, FatOffset(11), 12);
             Put32(f, entry(2, entry::kStreamSize), 4096 + 100);
         }), "[S[a:10=ok] Big:4196=0x80030109]",
         "the sector chain of stream \"Big\" refers to sector 12, but there are 12"},
        // Cut inside the last sector: refused at open when the missing bytes are in use, so that
        // a character whose animations are never read is not taken for a whole one.
        {"CutInsideLastSectorOfRegularStream", cut(SectorOffset(12) - 1), truncated,
         "the file is truncated: the data of stream \"Big\" needs 512 bytes of sector 11, but the file ends "
         "at byte 6655"},
        {"CutJustBeforeRegularStreamEnds", bigWithTail(299), truncated,
         "the file is truncated: the data of stream \"Big\" needs 300 bytes of sector 12, but the file ends "
         "at byte 6955"},
        {"CutJustAfterRegularStreamEnds", bigWithTail(300), "[S[a:10=ok] Big:4396=ok]", "no failure"},
        {"CutInsideLastSectorMidChain", from([=](std::string& f) {
             Put32(f, FatOffset(4), 11);  // Big: 4, 11, 5, ..., 10
             Put32(f, FatOffset(11), 5);
             Put32(f, FatOffset(10), kEndOfChain);
             f.resize(SectorOffset(12) - 100);
         }), truncated,
         "the file is truncated: the data of stream \"Big\" needs 512 bytes of sector 11, but the file ends "
         "at byte 6556"},
        {"CutInsideLastSectorOfMiniFat", from([=](std::string& f) {
             f.append(f.substr(MiniFatOffset(0), 16));  // sector 12 starts with the mini FAT's entries
             Put32(f, header::kFirstMiniFatSector, 12);
             Put32(f, FatOffset(2), kFreeSect);
             Put32(f, FatOffset(12), kEndOfChain);
         }), truncated,
         "the file is truncated: the mini FAT's sector chain needs 512 bytes of sector 12, but the file ends "
         "at byte 6672"},
        // A table's sectors next to each other are read together, but never past the file's end.
        {"CutInsideSecondSectorOfMiniFat", from([=](std::string& f) {
             // "a" takes two mini sectors, so that the walk of its chain reads the mini FAT.
             Put32(f, MiniFatOffset(0), 1);
             Put32(f, MiniFatOffset(1), kEndOfChain);
             Put32(f, entry(3, entry::kStreamSize), 100);
             Put32(f, entry(0, entry::kStreamSize), 128);
             f.append(f.substr(MiniFatOffset(0), kSector));
             f.append(16, '\xFF');
             Put32(f, header::kFirstMiniFatSector, 12);
             Put32(f, header::kNumMiniFatSectors, 2);
             Put32(f, FatOffset(2), kFreeSect);
             Put32(f, FatOffset(12), 13);
             Put32(f, FatOffset(13), kEndOfChain);
         }), truncated,
         "the file is truncated: the mini FAT's sector chain needs 512 bytes of sector 13, but the file ends "
         "at byte 7184"},
        {"CutInsideUnusedLastSector", from([=](std::string& f) { f.append(100, '\0'); }), kBaselineWalk,
         "no failure"},
        {"CutInsideOrphanChainEnd", from([=](std::string& f) {
             f.append(100, '\0');
             Put32(f, FatOffset(12), kEndOfChain);
         }), kBaselineWalk, "no failure"},
        {"CutInsideLastSectorOfMiniStream", from([=](std::string& f) {
             for (std::uint32_t i = 4; i < 12; ++i) Put32(f, FatOffset(i), kFreeSect);
             Put32(f, entry(2, entry::kStartSector), kEndOfChain);
             Put32(f, entry(2, entry::kStreamSize), 0);
             f.resize(SectorOffset(3) + 9);
         }), truncated,
         "the file is truncated: the data of stream \"a\" needs 10 bytes of sector 3, but the file ends at "
         "byte 2057"},
        {"FullLastSectorOfMiniStream", from([=](std::string& f) {
             for (std::uint32_t i = 4; i < 12; ++i) Put32(f, FatOffset(i), kFreeSect);
             Put32(f, entry(2, entry::kStartSector), kEndOfChain);
             Put32(f, entry(2, entry::kStreamSize), 0);
             f.resize(SectorOffset(3) + 10);  // a last sector cut after the bytes in use
         }), "[S[a:10=ok] Big:0=ok]", "no failure"},
        // Counts the chains stand in for are hints, whatever they say.
        {"DifatCountBeyondFile", set32(header::kNumDifatSectors, 0xFFFFFFFF), kBaselineWalk, "no failure"},
        {"MiniFatCountBeyondFile", set32(header::kNumMiniFatSectors, 17), kBaselineWalk, "no failure"},
        {"Version4DirectoryCountBeyondFile", [] { return Version4WithDirectoryCount(3); }, "[a:0=ok]", "no failure"},
        {"BadSignature", from([](std::string& f) { f[7] ^= 1; }), header,
         "the header does not start with a compound file's signature"},
        {"BadByteOrder", set16(header::kByteOrder, 0xFEFF), header,
         "the header's byte order mark is 65279, not 65534"},
        {"SectorShift10", set16(header::kSectorShift, 10), header,
         "the header's version 3 with sector shift 10 is neither version 3 with 9 or 12 nor version 4 with 12"},
        {"SectorShiftHuge", set16(header::kSectorShift, 0xFFFF), header,
         "the header's version 3 with sector shift 65535 is neither version 3 with 9 or 12 nor version 4 with 12"},
        {"Version3WithShift12", [] {
             std::string f = DirectoryOnly({Root(1), {u"a"}});
             Put16(f, header::kMajorVersion, 3);
             return f;
         }, "[a:0=ok]", "no failure"},
        {"Version3WithShift12TooShort", set16(header::kSectorShift, 12), truncated,
         "the file is truncated: the FAT reaches byte 8192, but the file ends at byte 6656"},
        {"Version4WithShift9", set16(header::kMajorVersion, 4), header,
         "the header's version 4 with sector shift 9 is neither version 3 with 9 or 12 nor version 4 with 12"},
        {"Version2", set16(header::kMajorVersion, 2), header,
         "the header's version 2 with sector shift 9 is neither version 3 with 9 or 12 nor version 4 with 12"},
        {"MiniSectorShift7", set16(header::kMiniSectorShift, 7), header,
         "the header's mini sector shift is 7, not 6"},
        {"MiniCutoff2048", set32(header::kMiniStreamCutoff, 2048), header,
         "the header's mini stream cutoff is 2048, not 4096"},
        {"FatCountHuge", set32(header::kNumFatSectors, 0xFFFFFFFF), corrupt,
         "the header's FAT sector count (4294967295) exceeds the file's 12 sectors"},
        {"FatCountZero", set32(header::kNumFatSectors, 0), corrupt, "the header's FAT sector count is 0"},
        {"DifatEntryPastEnd", set32(header::kDifat, 0x00100000), corrupt,
         "the header's DIFAT lists FAT sector 1048576, but the file holds 12 sectors"},
        {"DifatEntryReservedValue", set32(header::kDifat, kFatSect), corrupt,
         "the header's DIFAT lists FAT sector 4294967293, but the file holds 12 sectors"},
        {"DifatLoop", difat(12), corrupt, "the DIFAT's sector chain loops at sector 12"},
        {"DifatShorterThanFatCount", difat(kEndOfChain), kBaselineWalk, "no failure"},
        // The FAT sector still missing after sector 12 fits in one DIFAT sector, but 12 lists none:
        // its neighbour 13 is read on its own, and what it lists is judged.
        {"DifatHolesNeedTheNextSector", [=] {
             std::string f = difat(13)();
             f.append(kSector, '\xFF');
             Put32(f, SectorOffset(13), 0x4000);
             Put32(f, SectorOffset(13) + kSector - 4, kEndOfChain);
             Put32(f, header::kNumDifatSectors, 2);
             return f;
         }, corrupt, "DIFAT sector 13 lists FAT sector 16384, but the file holds 14 sectors"},
        {"DifatSectorListsSectorPastEnd", [=] {
             std::string f = difat(kEndOfChain)();
             Put32(f, SectorOffset(12), 0x4000);
             return f;
         }, corrupt, "DIFAT sector 12 lists FAT sector 16384, but the file holds 13 sectors"},
        {"DifatSectorPastEnd", from([](std::string& f) {
             Put32(f, header::kNumFatSectors, 2);
             Put32(f, header::kFirstDifatSector, 0x5000);
         }), corrupt, "the DIFAT's sector chain refers to sector 20480, but the file holds 12 sectors"},
        {"DirectoryChainLoop", set32(FatOffset(1), 1), corrupt,
         "the directory's sector chain loops: it is longer than the 12 sectors there are"},
        {"DirectoryChainPastEnd", set32(FatOffset(1), 0x00FFFFFF), corrupt,
         "the directory's sector chain refers to sector 16777215, but there are 12"},
        {"FirstDirectorySectorPastEnd", set32(header::kFirstDirSector, 0x1000), corrupt,
         "the directory's sector chain refers to sector 4096, but there are 12"},
        {"StreamChainLoop", set32(FatOffset(7), 4), bigBroken,
         "the sector chain of stream \"Big\" loops at sector 4"},
        {"StreamChainPastEnd", set32(FatOffset(5), 0x00FFFFFF), bigBroken,
         "the sector chain of stream \"Big\" refers to sector 16777215, but there are 12"},
        {"StreamChainHitsFreeSector", set32(FatOffset(6), kFreeSect), bigBroken,
         "the sector chain of stream \"Big\" reaches sector 6, which the FAT marks free"},
        {"StreamChainShorterThanSize", set32(FatOffset(5), kEndOfChain), bigBroken,
         "the sector chain of stream \"Big\" ends after 2 sectors, but its size needs 8"},
        // Chains that share a sector: no stream of the file is read.
        {"StreamsShareASector", from([=](std::string& f) {
             Put32(f, entry(3, entry::kStartSector), 4);
             Put32(f, entry(3, entry::kStreamSize), 4096);
         }), "[S[a:4096=0x80030109] Big:4096=0x80030109]",
         "the sector chain of stream \"a\" shares sector 4 with the sector chain of stream \"Big\""},
        {"StreamRunsIntoTheDirectory", from([=](std::string& f) {
             Put32(f, FatOffset(11), 1);
             Put32(f, entry(2, entry::kStreamSize), 4096 + 512);
         }), "[S[a:10=0x80030109] Big:4608=0x80030109]",
         "the sector chain of stream \"Big\" shares sector 1 with the directory's sector chain"},
        {"StreamRunsIntoTheFat", from([=](std::string& f) {
             Put32(f, FatOffset(11), 0);
             Put32(f, entry(2, entry::kStreamSize), 4096 + 512);
         }), "[S[a:10=0x80030109] Big:4608=0x80030109]",
         "the sector chain of stream \"Big\" shares sector 0 with the FAT"},
        {"EntryLeftOutOfTheTreeSharesASector", from([=](std::string& f) {
             Put32(f, entry(1, entry::kChild), kNoStream);
             Put32(f, entry(3, entry::kStartSector), 4);
             Put32(f, entry(3, entry::kStreamSize), 4096);
         }), "[S[] Big:4096=ok]", "no failure"},
        {"SmallStreamsShareAMiniSector", from([=](std::string& f) {
             Put32(f, entry(2, entry::kStartSector), 0);
             Put32(f, entry(2, entry::kStreamSize), 10);
         }), "[S[a:10=0x80030109] Big:10=0x80030109]",
         "the mini sector chain of stream \"a\" shares mini sector 0 with the mini sector chain of stream \"Big\""},
        {"MiniFatChainLoop", set32(FatOffset(2), 2), corrupt,
         "the mini FAT's sector chain loops: it is longer than the 12 sectors there are"},
        {"MiniFatPastEnd", set32(header::kFirstMiniFatSector, 0x00FFFFF0), corrupt,
         "the mini FAT's sector chain refers to sector 16777200, but there are 12"},
        {"MiniChainLoop", from([=](std::string& f) {
             Put64(f, entry(3, entry::kStreamSize), 100);
             Put32(f, MiniFatOffset(0), 0);
         }), "[S[a:100=0x80030109] Big:4096=ok]", "the mini sector chain of stream \"a\" loops at mini sector 0"},
        {"MiniStreamBeyondRootStream", set32(entry(0, entry::kStreamSize), 0),
         "[S[a:10=0x80030109] Big:4096=ok]",
         "the data of stream \"a\" uses mini sector 0, beyond the mini stream's 0 bytes"},
        {"MiniSectorBeyondRootStream", set32(entry(3, entry::kStartSector), 5),
         "[S[a:10=0x80030109] Big:4096=ok]",
         "the data of stream \"a\" uses mini sector 5, beyond the mini stream's 64 bytes"},
        {"SiblingSelfLoop", set32(entry(2, entry::kLeft), 2), rootUnlisted,
         rootTreeDamaged},
        {"SiblingCycle", from([=](std::string& f) {
             Put32(f, entry(2, entry::kLeft), 1);
             Put32(f, entry(1, entry::kRight), 2);
         }), "[S[a:10=ok] !0x80030109]",
         rootTreeDamaged},
        {"ChildPointsToRoot", set32(entry(1, entry::kChild), 0), storageUnlisted,
         childOfSDamaged},
        {"ChildPointsToItself", set32(entry(1, entry::kChild), 1), storageUnlisted,
         childOfSDamaged},
        {"EntryReferencedTwice", set32(entry(2, entry::kRight), 3),
         "[S[!enum 0x80030109] Big:4096=ok a:10=ok]",
         childOfSDamaged},
        {"SiblingOutOfRange", set32(entry(2, entry::kLeft), 0x1000), rootUnlisted,
         rootTreeDamaged},
        {"ChildIsUnusedEntry", set8(entry(3, entry::kObjectType), kTypeUnused), storageUnlisted,
         childOfSDamaged},
        {"NameLengthZero", set16(entry(3, entry::kNameLength), 0),
         "[S[:10=0x800300FC] Big:4096=ok]", ""},
        {"NameLengthOdd", set16(entry(2, entry::kNameLength), 7), "[S[a:10=ok] Bi:4096=ok]", "no failure"},
        {"NameLengthAbove64", set16(entry(2, entry::kNameLength), 200), kBaselineWalk, "no failure"},
        {"NameWithoutTerminator", from([=](std::string& f) {
             for (int i = 0; i < 32; ++i) Put16(f, entry(2, 2 * i), 'X');
             Put16(f, entry(2, entry::kNameLength), 64);
         }), "[S[a:10=ok] " + std::string(31, 'X') + ":4096=ok]", "no failure"},
        {"UnknownTypeOnStream", set8(entry(2, entry::kObjectType), 3), "[S[a:10=ok] Big#3]", "no failure"},
        {"UnknownType255", set8(entry(2, entry::kObjectType), 0xFF), "[S[a:10=ok] Big#255]", "no failure"},
        {"RootTypeOnChild", set8(entry(1, entry::kObjectType), kTypeRoot), "[S#5 Big:4096=ok]", "no failure"},
        {"UnknownTypeOnStorageWithChild", set8(entry(1, entry::kObjectType), 7), "[S#7 Big:4096=ok]", "no failure"},
        {"RootIsStorageType", set8(entry(0, entry::kObjectType), kTypeStorage), corrupt,
         "the directory's first entry is of type 1, not the root's type 5"},
        {"RootIsStreamType", set8(entry(0, entry::kObjectType), kTypeStream), corrupt,
         "the directory's first entry is of type 2, not the root's type 5"},
        {"RootIsUnused", set8(entry(0, entry::kObjectType), kTypeUnused), corrupt,
         "the directory's first entry is of type 0, not the root's type 5"},
        {"StreamSizeBeyondFile", set32(entry(2, entry::kStreamSize), 0x7FFFFFFF),
         "[S[a:10=ok] Big:2147483647=0x80030109]",
         "the sector chain of stream \"Big\" needs 4194304 sectors for its size, but there are 12"},
        {"Version3SizeHighHalfIgnored", set32(entry(2, entry::kStreamSize + 4), 0xDEADBEEF), kBaselineWalk,
         "no failure"},
        {"StreamChildLinkIgnored", set32(entry(2, entry::kChild), 3), kBaselineWalk, "no failure"},
        {"Version3DirectoryCountIgnored", set32(header::kNumDirSectors, 37), kBaselineWalk, "no failure"},
        {"Version4StreamOf2To62Bytes", [] {
             return DirectoryOnly({Root(1), {u"Huge", kTypeStream, kNoStream, kNoStream, kNoStream, 0,
                                             std::uint64_t{1} << 62}});
         }, "[Huge:4611686018427387904=0x80030109]",
         "the sector chain of stream \"Huge\" needs 1125899906842624 sectors for its size, but there are 2"},
    };
}

}  // namespace damaged
