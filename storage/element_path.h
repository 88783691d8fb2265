// Reaching one stream of a compound file by its path: the names of the elements from the root
// down, separated by "/", each as the listing shows it (8-bit text in the system code page, so a
// name holding control characters is written as its bytes). The checker's `cat` and the window's
// stream viewer both read streams this way, through the storage interfaces, a piece at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/storage.h"
#include "platform/unknown.h"

// The names of `path`, split at every "/"; an empty path names nothing and gives no names.
std::vector<std::string> SplitElementPath(std::string_view path);
std::string JoinElementPath(const std::vector<std::string>& names);

// The file opened for reading, letting other readers in. Raises Error("Cannot open the file F:
// why"), the reason in the listing's words.
ComPtr<IStorage> OpenFileForReading(const std::string& path);

// The stream at `names` under `root`. Raises Error("The element P: why"), why being "no such
// element", "it is a storage, not a stream" (or one of its parents "... is not a storage"), or
// the reader's reason the stream cannot be opened.
ComPtr<IStream> OpenStreamAt(IStorage& root, const std::vector<std::string>& names);

// The size the stream's directory entry gives.
std::uint64_t StreamSize(IStream& stream);

// Reads up to `size` bytes at `offset` into `buffer` and returns how many there were (fewer only
// at the end). Raises Error with the reader's reason.
std::size_t ReadStreamAt(IStream& stream, std::uint64_t offset, void* buffer, std::size_t size);

// Hands every byte of the stream, from its start, to `put` in pieces of at most 64 KiB. Raises
// Error with the reader's reason, or when the stream ends before its size.
void ProduceStream(IStream& stream, const ByteSink& put);
