// The StoFile page's listing: its lines, and for each line the element it stands for, so that
// activating the line of a stream can open that stream by its path. Each element keeps its name
// and the line of the storage it lies in, not its whole path: a listing of deeply nested storages
// costs what its lines cost.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linelist.h"
#include "storage/olestg.h"

class StoFileListing final : public ListingSink {
public:
    LineList Lines;

    void Line(std::string_view line) override;
    void Element(std::string_view name, std::string_view typeName, std::uint64_t size, std::size_t depth) override;

    // The path of the stream whose line is `line` (names from the root down); nothing for the
    // header, a storage, a closing line or a line out of range.
    std::optional<std::vector<std::string>> StreamPath(int line) const;

private:
    static constexpr std::uint32_t kNoParent = UINT32_MAX;
    struct Place {
        std::uint32_t parent = kNoParent;  // the line of the storage holding the element
        std::uint32_t nameBegin = 0;
        std::uint32_t nameEnd = 0;
        enum class Kind : std::uint8_t { Other, Stream, Storage } kind = Kind::Other;
    };
    std::vector<Place> places_;               // one per line
    std::string names_;                       // every element's name, back to back
    std::vector<std::uint32_t> openStorages_;  // the line of the storage at each depth being listed
};
