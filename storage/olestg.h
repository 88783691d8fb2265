// The storage element listing: opens a compound file and turns its whole element tree into text
// lines, one header line for the file, one line per element ("Stream Wave Size: 2048") and the
// closing line "End Storage (Unknown)" after the elements of every storage, depth first in the
// order the enumeration delivers them. The window and the command-line checker show these lines
// and derive their totals from the line count.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

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
    bool keepElements;  // fill TOpenStorage::Elements as well as the lines
};
inline constexpr ListingMode kWindowListing{STGM_READWRITE | STGM_SHARE_EXCLUSIVE, false, false};
inline constexpr ListingMode kReadOnlyListing{STGM_READ | STGM_SHARE_DENY_WRITE, true, false};

// Why a storage call failed, in words: "no such file", "a folder", "permission denied", "locked
// by another program", or what the storage services said about the damage (their error
// information, consumed here), falling back to the result code's message. For right after the
// failed call.
std::string StorageFailureReason(HRESULT hr);

// The window's text `text`, followed in the mode's explained way by the reason (for a file) or
// by the storage concerned and the reason (for a storage below the file, "" for the root).
std::string ExplainFailure(const ListingMode& mode, const std::string& text, HRESULT hr);
std::string ExplainStorageFailure(const ListingMode& mode, const std::string& text,
                                  const std::string& storagePath, HRESULT hr);

// Steps 1 to 4 of the listing: tests the file and opens its root in the mode's way, raising the
// errors TOpenStorage raises; `header` receives the header line as soon as the file is known to
// be a compound file.
ComPtr<IStorage> OpenStorageFile(const std::string& path,
                                 const std::function<void(std::string_view)>& header,
                                 const ListingMode& mode = kWindowListing);

// The most lines the listing of a file whose directory holds `entries` entries may have: four
// times what listing every entry once takes. Storages of the same name under one storage all
// open the first of them, whose elements are then listed once for each; nested, that doubles
// the listing at every level, so a file of a few kilobytes would list without end. A listing
// that grows past the limit raises Error (ListingTooLong) instead.
std::size_t ListingLineLimit(std::size_t entries);
std::string ListingTooLong(std::size_t limit);

// "Storage", "Stream", "LockBytes", "Property", or "Unknown" for any other element type.
std::string_view ElementTypeName(DWORD type);
// Appends the line of an element that is not "Unknown" to `line`: the type name, the name
// (already converted to 8-bit text; a leading code 1 to 6 shown by number) and the size.
void AppendElementLine(std::string& line, std::string_view typeName, std::string_view name, std::uint64_t size);

// One element of the listing as data, for scripts: its path below the root ("Sub/Wave"), its
// type as the line names it, its size and its depth (1 for an element of the root).
struct ListedElement {
    std::string path;
    std::string type;
    std::uint64_t size = 0;
    int depth = 0;
};

class TOpenStorage {
public:
    // Lists the whole file. Raises Error "Not a valid storage file." when the file is missing or
    // not a compound file, "Call to StgOpenStorage failed" when the root cannot be opened in the
    // mode's way, and an error naming the code when fetching an element fails. Storages that
    // cannot be enumerated or opened are reported through `prompts` and the listing goes on.
    TOpenStorage(const std::string& path, Prompts& prompts, const ListingMode& mode = kWindowListing);

    LineList Lines;
    std::vector<ListedElement> Elements;  // with ListingMode::keepElements, in line order

private:
    // One storage whose elements are being listed, with its enumerator.
    struct OpenLevel {
        ComPtr<IStorage> storage;
        ComPtr<IEnumSTATSTG> elements;
        std::string path;  // below the root; empty for the root
    };

    void OpenFile(const std::string& path);
    void ListStorage(IStorage* root);
    void Enter(std::vector<OpenLevel>& levels, ComPtr<IStorage> storage, std::string path);
    void AddElementLine(const std::string& typeName, const STATSTG& element);
    // Opens the child storage named by `element`; empty when it cannot be opened.
    ComPtr<IStorage> OpenSubStorage(IStorage* parent, const STATSTG& element,
                                    const std::string& path);
    Prompts& prompts_;
    ListingMode mode_;
    std::string line_;  // the line being built
};
