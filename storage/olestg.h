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

#include "platform/linelist.h"
#include "platform/prompts.h"
#include "platform/storage.h"

// True for a success code; otherwise shows "Enum Failed" and returns false.
bool CheckEnumResult(HRESULT result, Prompts& prompts);

// Steps 1 to 4 of the listing: tests the file and opens its root for reading and writing with
// exclusive sharing, raising the errors TOpenStorage raises; `header` receives the header line
// as soon as the file is known to be a compound file.
ComPtr<IStorage> OpenStorageFile(const std::string& path, const std::function<void(std::string_view)>& header);

// "Storage", "Stream", "LockBytes", "Property", or "Unknown" for any other element type.
const char* ElementTypeName(DWORD type);
// Appends the line of an element that is not "Unknown" to `line`: the type name, the name
// (already converted to 8-bit text; a leading code 1 to 6 shown by number) and the size.
void AppendElementLine(std::string& line, const char* typeName, std::string_view name, std::uint64_t size);

class TOpenStorage {
public:
    // Lists the whole file. Raises Error "Not a valid storage file." when the file is missing or
    // not a compound file, "Call to StgOpenStorage failed" when the root cannot be opened for
    // reading and writing with exclusive sharing, and an error naming the code when fetching an
    // element fails. Storages that cannot be enumerated or opened are reported through `prompts`
    // and the listing goes on.
    TOpenStorage(const std::string& path, Prompts& prompts);

    LineList Lines;

private:
    void OpenFile(const std::string& path);
    void ListStorage(IStorage* root);
    void AddElementLine(const std::string& typeName, const STATSTG& element);
    // Opens the child storage named by `element`; empty when it cannot be opened.
    ComPtr<IStorage> OpenSubStorage(IStorage* parent, const STATSTG& element);

    Prompts& prompts_;
    std::string line_;  // the line being built
};
