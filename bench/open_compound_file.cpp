// open_compound_file FILE: opens FILE the way `quorvel-check list` does (StgOpenStorage, reading
// with others kept from writing) and ends: the process's start and the reader's open (the header,
// the tables and the whole directory read and checked), without a line of listing. The listing
// comparison times it beside the floor, to show which part of ours' time the reading of an
// untrusted file takes. Exit status 2 when the file cannot be opened.
#include <cstdio>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/storage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: open_compound_file FILE\n");
        return 2;
    }
    IStorage* root = nullptr;
    const HRESULT opened = StgOpenStorage(PathToWide(argv[1]).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                          nullptr, 0, &root);
    if (FAILED(opened) || !root) return 2;
    root->Release();
    return 0;
}
