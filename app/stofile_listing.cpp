#include "app/stofile_listing.h"

#include <algorithm>

#include "platform/error.h"

void StoFileListing::Line(std::string_view line) {
    Lines.Add(line);
    places_.emplace_back();
}

void StoFileListing::Element(std::string_view name, std::string_view typeName, std::uint64_t, std::size_t depth) {
    if (places_.empty() || depth == 0) return;
    // The names are held within the listing's own 4 GiB limit of text.
    if (names_.size() + name.size() > UINT32_MAX) throw Error("The listing's names pass 4 GiB");
    openStorages_.resize(std::min(openStorages_.size(), depth - 1));
    // An element deeper than the storages being listed has no path; its line opens nothing.
    if (openStorages_.size() < depth - 1) return;
    Place& place = places_.back();
    place.parent = depth == 1 ? kNoParent : openStorages_[depth - 2];
    place.nameBegin = static_cast<std::uint32_t>(names_.size());
    names_ += name;
    place.nameEnd = static_cast<std::uint32_t>(names_.size());
    if (typeName == "Stream") place.kind = Place::Kind::Stream;
    if (typeName == "Storage") {
        place.kind = Place::Kind::Storage;
        openStorages_.push_back(static_cast<std::uint32_t>(places_.size() - 1));
    }
}

std::optional<std::vector<std::string>> StoFileListing::StreamPath(int line) const {
    if (line < 0 || static_cast<std::size_t>(line) >= places_.size()) return std::nullopt;
    if (places_[static_cast<std::size_t>(line)].kind != Place::Kind::Stream) return std::nullopt;
    std::vector<std::string> names;
    // Each step goes to an earlier line, so the walk ends within the listing's length.
    for (std::uint32_t at = static_cast<std::uint32_t>(line); at != kNoParent; at = places_[at].parent) {
        const Place& place = places_[at];
        names.emplace_back(names_, place.nameBegin, place.nameEnd - place.nameBegin);
        if (place.parent != kNoParent && place.parent >= at) return std::nullopt;
    }
    std::reverse(names.begin(), names.end());
    return names;
}
