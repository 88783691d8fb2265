// The storage element listing written straight from the reader's directory, for listing big
// files from the command line: the lines TOpenStorage gives (header, element and closing lines,
// in the same order, with the same messages and errors), each followed by '\n', built from the
// entries where the reader holds them instead of through one element record at a time. The
// window keeps listing through the element enumeration.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/prompts.h"
#include "storage/olestg.h"

// Lists the file at `path`, handing the text to `write` in pieces of about 64 KiB. Messages go
// through `prompts` as the listing reaches them. A file whose listing would end in an error
// raises that error before any text is written, as TOpenStorage does. The file is opened, and
// messages and errors are worded, in `mode`'s way. Returns the number of lines.
std::size_t WriteStorageListing(const std::string& path, Prompts& prompts,
                                const std::function<void(std::string_view)>& write,
                                const ListingMode& mode = kWindowListing);
