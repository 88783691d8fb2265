// A writer of compound files (version 3, 512-byte sectors): nested storages and streams of any
// size, streams below 4096 bytes in the mini stream. It serves the character builder, the sample
// files and the tests. Files it writes are read by other readers as they are by ours.
//
// File layout, in sector order: FAT sectors, DIFAT sectors (only past 109 FAT sectors), the
// directory, the mini FAT, the mini stream, then every large stream in one contiguous run of
// sectors each. Entry i of the directory is the element with EntryId i; the root is entry 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/name_hash.h"

namespace cfb {

// How each storage's children are linked into their sibling tree. Both are valid trees in the
// format's name order; RightChain is what some writers produce (one long chain of right links).
enum class SiblingShape { Balanced, RightChain };

class CompoundFileWriter {
public:
    using EntryId = std::uint32_t;
    static constexpr EntryId kRoot = 0;

    // Add an element under `parent` (kRoot or a storage). Names are 1 to 31 UTF-16 units without
    // "/", "\", ":" or "!" and unique (case-insensitively) among their siblings; a name may start
    // with a control character (code 1 to 31). Raise Error otherwise, and when `parent` is not a
    // storage of this writer or a stream is too large for the format (over 2^31 bytes).
    EntryId AddStorage(EntryId parent, std::u16string_view name);
    // `content` is taken over, not copied, when the caller moves it in.
    EntryId AddStream(EntryId parent, std::u16string_view name, std::string content);

    // Raises Error naming the file when it cannot be written; an existing file is replaced
    // atomically, so a failed save leaves it as it was.
    void SaveToFile(const std::string& path, SiblingShape shape = SiblingShape::Balanced) const;
    std::string SaveToBytes(SiblingShape shape = SiblingShape::Balanced) const;

private:
    struct Element {
        std::u16string name;
        bool isStorage = false;
        std::string content;
        std::vector<EntryId> children;
    };
    EntryId Add(EntryId parent, std::u16string_view name, bool isStorage, std::string content);

    // SaveToBytes in the order of what it writes (writer.cpp).
    struct Layout;
    struct Links;
    // Sizes every region; `start` is each stream's first mini sector, or its first sector counted
    // from the first large stream's.
    Layout PlanLayout(std::vector<std::uint64_t>& start) const;
    std::vector<Links> LinkSiblings(SiblingShape shape) const;
    static std::uint32_t LinkBalanced(const std::vector<std::uint32_t>& sorted, std::size_t lo, std::size_t hi,
                                      unsigned depth, unsigned deepest, std::vector<Links>& links);
    static void WriteHeaderAndDifat(unsigned char* file, const Layout& layout);
    // The FAT, the mini FAT and the small streams' contents; turns `start` of large streams
    // into sector numbers.
    void WriteTablesAndSmallStreams(unsigned char* file, const Layout& layout, std::vector<std::uint64_t>& start) const;
    void WriteDirectory(unsigned char* file, const Layout& layout, const std::vector<Links>& links,
                        const std::vector<std::uint64_t>& start) const;
    void AppendLargeStreams(std::string& bytes) const;

    std::vector<Element> elements_{Element{u"Root Entry", true, {}, {}}};
    // Parent id + upper-cased name of every element, for the sibling uniqueness check.
    std::unordered_set<std::u16string, UnitsHash> siblingKeys_;
};

}  // namespace cfb
