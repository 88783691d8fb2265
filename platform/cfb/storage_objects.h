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

}  // namespace cfb
