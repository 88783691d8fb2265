// Runs test code with files limited to a few bytes, so that writing fails as on a full disk: the
// write-failure paths are exercised, not assumed.
#pragma once

#include <sys/resource.h>

#include <csignal>

// Runs `work` with the file size limit at `bytes` (a larger write fails with EFBIG instead of
// ending the process), then restores the limit.
template <class Work>
void WithFileSizeLimit(rlim_t bytes, Work&& work) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    work();
    ::setrlimit(RLIMIT_FSIZE, &old);
}
