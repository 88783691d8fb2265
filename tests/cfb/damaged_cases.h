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
        {"Baseline", from([](std::string&) {}), kBaselineWalk},
        {"EmptyFile", cut(0), header},
        {"File511Bytes", cut(511), header},
        {"HeaderOnly", cut(512), corrupt},
        {"PartialDirectorySector", from([=](std::string& f) {
             f.resize(1280);  // entries 2 and 3 lie past the end: never read as unused ones
             Put32(f, header::kFirstMiniFatSector, kEndOfChain);
             for (std::uint32_t i = 2; i < 12; ++i) Put32(f, FatOffset(i), kFreeSect);
         }), truncated},
        {"TruncatedBeforeMiniFat", cut(1280), corrupt},
        // Cut at a sector boundary or inside a sector: the FAT still uses the sectors lost.
        {"CutInsideRegularStream", cut(SectorOffset(7)), corrupt},
        {"CutInsideRegularStreamMidSector", cut(6000), corrupt},
        {"CutInsideMiniStream", cut(SectorOffset(3) + 5), corrupt},
        // Cut inside the last sector: refused at open when the missing bytes are in use, so that
        // a character whose animations are never read is not taken for a whole one.
        {"CutInsideLastSectorOfRegularStream", cut(SectorOffset(12) - 1), truncated},
        {"CutJustBeforeRegularStreamEnds", bigWithTail(299), truncated},
        {"CutJustAfterRegularStreamEnds", bigWithTail(300), "[S[a:10=ok] Big:4396=ok]"},
        {"CutInsideLastSectorMidChain", from([=](std::string& f) {
             Put32(f, FatOffset(4), 11);  // Big: 4, 11, 5, ..., 10
             Put32(f, FatOffset(11), 5);
             Put32(f, FatOffset(10), kEndOfChain);
             f.resize(SectorOffset(12) - 100);
         }), truncated},
        {"CutInsideLastSectorOfMiniFat", from([=](std::string& f) {
             f.append(f.substr(MiniFatOffset(0), 16));  // sector 12 starts with the mini FAT's entries
             Put32(f, header::kFirstMiniFatSector, 12);
             Put32(f, FatOffset(2), kFreeSect);
             Put32(f, FatOffset(12), kEndOfChain);
         }), truncated},
        {"CutInsideUnusedLastSector", from([=](std::string& f) { f.append(100, '\0'); }), kBaselineWalk},
        {"CutInsideOrphanChainEnd", from([=](std::string& f) {
             f.append(100, '\0');
             Put32(f, FatOffset(12), kEndOfChain);
         }), kBaselineWalk},
        {"CutInsideLastSectorOfMiniStream", from([=](std::string& f) {
             for (std::uint32_t i = 4; i < 12; ++i) Put32(f, FatOffset(i), kFreeSect);
             Put32(f, entry(2, entry::kStartSector), kEndOfChain);
             Put32(f, entry(2, entry::kStreamSize), 0);
             f.resize(SectorOffset(3) + 9);
         }), truncated},
        {"FullLastSectorOfMiniStream", from([=](std::string& f) {
             for (std::uint32_t i = 4; i < 12; ++i) Put32(f, FatOffset(i), kFreeSect);
             Put32(f, entry(2, entry::kStartSector), kEndOfChain);
             Put32(f, entry(2, entry::kStreamSize), 0);
             f.resize(SectorOffset(3) + 10);  // a last sector cut after the bytes in use
         }), "[S[a:10=ok] Big:0=ok]"},
        // The baseline holds 12 sectors: each count may reach 12, not 13.
        {"DifatCountAtSectorCount", set32(header::kNumDifatSectors, 12), kBaselineWalk},
        {"DifatCountBeyondFile", set32(header::kNumDifatSectors, 13), corrupt},
        {"MiniFatCountAtSectorCount", set32(header::kNumMiniFatSectors, 12), kBaselineWalk},
        {"MiniFatCountBeyondFile", set32(header::kNumMiniFatSectors, 13), corrupt},
        {"Version4DirectoryCountAtSectorCount", [] { return Version4WithDirectoryCount(2); }, "[a:0=ok]"},
        {"Version4DirectoryCountBeyondFile", [] { return Version4WithDirectoryCount(3); }, corrupt},
        {"BadSignature", from([](std::string& f) { f[7] ^= 1; }), header},
        {"BadByteOrder", set16(header::kByteOrder, 0xFEFF), header},
        {"SectorShift10", set16(header::kSectorShift, 10), header},
        {"SectorShiftHuge", set16(header::kSectorShift, 0xFFFF), header},
        {"Version3WithShift12", set16(header::kSectorShift, 12), header},
        {"Version4WithShift9", set16(header::kMajorVersion, 4), header},
        {"Version2", set16(header::kMajorVersion, 2), header},
        {"MiniSectorShift7", set16(header::kMiniSectorShift, 7), header},
        {"MiniCutoff2048", set32(header::kMiniStreamCutoff, 2048), header},
        {"FatCountHuge", set32(header::kNumFatSectors, 0xFFFFFFFF), corrupt},
        {"FatCountZero", set32(header::kNumFatSectors, 0), corrupt},
        {"DifatEntryPastEnd", set32(header::kDifat, 0x00100000), corrupt},
        {"DifatEntryReservedValue", set32(header::kDifat, kFatSect), corrupt},
        {"DifatLoop", difat(12), corrupt},
        {"DifatShorterThanFatCount", difat(kEndOfChain), kBaselineWalk},
        {"DifatSectorListsSectorPastEnd", [=] {
             std::string f = difat(kEndOfChain)();
             Put32(f, SectorOffset(12), 0x4000);
             return f;
         }, corrupt},
        {"DifatSectorPastEnd", from([](std::string& f) {
             Put32(f, header::kNumFatSectors, 2);
             Put32(f, header::kFirstDifatSector, 0x5000);
         }), corrupt},
        {"DirectoryChainLoop", set32(FatOffset(1), 1), corrupt},
        {"DirectoryChainPastEnd", set32(FatOffset(1), 0x00FFFFFF), corrupt},
        {"FirstDirectorySectorPastEnd", set32(header::kFirstDirSector, 0x1000), corrupt},
        {"StreamChainLoop", set32(FatOffset(7), 4), bigBroken},
        {"StreamChainPastEnd", set32(FatOffset(5), 0x00FFFFFF), bigBroken},
        {"StreamChainHitsFreeSector", set32(FatOffset(6), kFreeSect), bigBroken},
        {"StreamChainShorterThanSize", set32(FatOffset(5), kEndOfChain), bigBroken},
        {"MiniFatChainLoop", set32(FatOffset(2), 2), corrupt},
        {"MiniFatPastEnd", set32(header::kFirstMiniFatSector, 0x00FFFFF0), corrupt},
        {"MiniChainLoop", from([=](std::string& f) {
             Put64(f, entry(3, entry::kStreamSize), 100);
             Put32(f, MiniFatOffset(0), 0);
         }), "[S[a:100=0x80030109] Big:4096=ok]"},
        {"MiniStreamBeyondRootStream", set32(entry(0, entry::kStreamSize), 0),
         "[S[a:10=0x80030109] Big:4096=ok]"},
        {"MiniSectorBeyondRootStream", set32(entry(3, entry::kStartSector), 5),
         "[S[a:10=0x80030109] Big:4096=ok]"},
        {"SiblingSelfLoop", set32(entry(2, entry::kLeft), 2), rootUnlisted},
        {"SiblingCycle", from([=](std::string& f) {
             Put32(f, entry(2, entry::kLeft), 1);
             Put32(f, entry(1, entry::kRight), 2);
         }), "[S[a:10=ok] !0x80030109]"},
        {"ChildPointsToRoot", set32(entry(1, entry::kChild), 0), storageUnlisted},
        {"ChildPointsToItself", set32(entry(1, entry::kChild), 1), storageUnlisted},
        {"EntryReferencedTwice", set32(entry(2, entry::kRight), 3),
         "[S[!enum 0x80030109] Big:4096=ok a:10=ok]"},
        {"SiblingOutOfRange", set32(entry(2, entry::kLeft), 0x1000), rootUnlisted},
        {"ChildIsUnusedEntry", set8(entry(3, entry::kObjectType), kTypeUnused), storageUnlisted},
        {"NameLengthZero", set16(entry(3, entry::kNameLength), 0),
         "[S[:10=0x800300FC] Big:4096=ok]"},
        {"NameLengthOdd", set16(entry(2, entry::kNameLength), 7), "[S[a:10=ok] Bi:4096=ok]"},
        {"NameLengthAbove64", set16(entry(2, entry::kNameLength), 200), kBaselineWalk},
        {"NameWithoutTerminator", from([=](std::string& f) {
             for (int i = 0; i < 32; ++i) Put16(f, entry(2, 2 * i), 'X');
             Put16(f, entry(2, entry::kNameLength), 64);
         }), "[S[a:10=ok] " + std::string(31, 'X') + ":4096=ok]"},
        {"UnknownTypeOnStream", set8(entry(2, entry::kObjectType), 3), "[S[a:10=ok] Big#3]"},
        {"UnknownType255", set8(entry(2, entry::kObjectType), 0xFF), "[S[a:10=ok] Big#255]"},
        {"RootTypeOnChild", set8(entry(1, entry::kObjectType), kTypeRoot), "[S#5 Big:4096=ok]"},
        {"UnknownTypeOnStorageWithChild", set8(entry(1, entry::kObjectType), 7), "[S#7 Big:4096=ok]"},
        {"RootIsStorageType", set8(entry(0, entry::kObjectType), kTypeStorage), corrupt},
        {"RootIsStreamType", set8(entry(0, entry::kObjectType), kTypeStream), corrupt},
        {"RootIsUnused", set8(entry(0, entry::kObjectType), kTypeUnused), corrupt},
        {"StreamSizeBeyondFile", set32(entry(2, entry::kStreamSize), 0x7FFFFFFF),
         "[S[a:10=ok] Big:2147483647=0x80030109]"},
        {"Version3SizeHighHalfIgnored", set32(entry(2, entry::kStreamSize + 4), 0xDEADBEEF), kBaselineWalk},
        {"StreamChildLinkIgnored", set32(entry(2, entry::kChild), 3), kBaselineWalk},
        {"Version3DirectoryCountIgnored", set32(header::kNumDirSectors, 37), kBaselineWalk},
        {"Version4StreamOf2To62Bytes", [] {
             return DirectoryOnly({Root(1), {u"Huge", kTypeStream, kNoStream, kNoStream, kNoStream, 0,
                                             std::uint64_t{1} << 62}});
         }, "[Huge:4611686018427387904=0x80030109]"},
    };
}

}  // namespace damaged
