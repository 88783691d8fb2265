// The component objects over an open compound file: storages, their element enumerators and
// streams. Each holds a reference to the shared file, so the descriptor and its lock stay until
// the root and every object opened from it have been released.
#pragma once

#include <memory>

#include "platform/storage.h"
#include "platform/cfb/compound_file.h"

namespace cfb {

// The root storage of `file`, opened with `mode`; the caller owns the one reference.
IStorage* NewRootStorage(std::shared_ptr<CompoundFile> file, DWORD mode);

// The file behind a root storage of this reader, for a caller that walks its directory in
// place rather than element by element; null for any other storage.
std::shared_ptr<const CompoundFile> FileOfRoot(IStorage* storage);

}  // namespace cfb
