// The storage element listing: opens a compound file and turns its whole element tree into text
// lines, one header line for the file, one line per element ("Stream Wave Size: 2048") and the
// closing line "End Storage (Unknown)" after the elements of every storage, depth first in the
// order the enumeration delivers them. The window and the command-line checker show these lines
// and derive their totals from the line count.
//
// There is one walk over the file, through the storage interfaces, and it holds every rule of the
// listing: the element types, the child an open by name reaches, the failures and how they are
// worded, the line limit and the name conversion. It hands its output to a sink as it goes:
// TOpenStorage keeps the lines, the checker writes them out, counts them or turns them into JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/linelist.h"
#include "platform/prompts.h"
#include "platform/storage.h"

// True for a success code; otherwise shows "Enum Failed" and returns false.
bool CheckEnumResult(HRESULT result, Prompts& prompts);

// How a listing opens its file and what it tells. The window opens the root for reading and
// writing with exclusive sharing and shows its messages as they are; the checker only reads, lets
// other readers in, and adds to each message and error why it happened and which storage it
// concerns, after the window's text.
struct ListingMode {
    DWORD rootMode;
    bool explained;
};
inline constexpr ListingMode kWindowListing{STGM_READWRITE | STGM_SHARE_EXCLUSIVE, false};
inline constexpr ListingMode kReadOnlyListing{STGM_READ | STGM_SHARE_DENY_WRITE, true};

// What a listing produces, in order, as the walk reaches it.
class ListingSink {
public:
    virtual ~ListingSink() = default;
    // Every line: the header, each element's line, each closing line.
    virtual void Line(std::string_view line) = 0;
    // Follows the line of each element delivered (one of a type outside 1 to 4 has the closing
    // line): its name as 8-bit text (a leading code 1 to 6 left as it is), its type name, its size
    // and its depth (1 for an element of the root). The default ignores it.
    virtual void Element(std::string_view name, std::string_view typeName, std::uint64_t size,
                         std::size_t depth);
};

// Lists the file at `path` into `sink`. Raises Error "Not a valid storage file." when the file is
// missing or not a compound file, "Call to StgOpenStorage failed" when the root cannot be opened
// in the mode's way, an error naming the code when fetching an element fails, and
// ListingTooLong's error past the line limit; the sink has then seen the lines up to there, which
// a caller discards as TOpenStorage does. Storages that cannot be enumerated or opened are
// reported through `prompts` and the listing goes on. Returns how many storages were left out
// that way ("Enum Failed", "Count not open subStorage"), in the explained mode with each second
// storage of a name already listed beside it (which the open by name cannot reach, so the
// listing shows the other's elements in its place): 0 for a complete listing.
std::size_t ListStorageFile(const std::string& path, Prompts& prompts, ListingSink& sink,
                     const ListingMode& mode = kWindowListing);

// The most lines the listing of a file of `fileBytes` bytes may have: four times what listing
// every entry a directory of that size could hold takes. Storages of the same name under one
// storage all open the first of them, whose elements are then listed once for each; nested, that
// doubles the listing at every level, so a file of a few kilobytes would list without end. A
// listing that grows past the limit raises Error(ListingTooLong(limit)) instead.
std::size_t ListingLineLimit(std::uint64_t fileBytes);
std::string ListingTooLong(std::size_t limit);

// Why a storage call failed, in words: "no such file", "a folder", "permission denied", "locked
// by another program", or what the storage services said about the damage (their error
// information, consumed here), falling back to the result code's message. For right after the
// failed call.
std::string StorageFailureReason(HRESULT hr);

// "Storage", "Stream", "LockBytes", "Property", or "Unknown" for any other element type.
std::string_view ElementTypeName(DWORD type);

class TOpenStorage {
public:
    // Lists the whole file into Lines; raises ListStorageFile's errors, with no object made.
    TOpenStorage(const std::string& path, Prompts& prompts, const ListingMode& mode = kWindowListing);

    LineList Lines;
};
