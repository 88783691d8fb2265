// The component registry's file format, apart from the search and the loading so that it can be
// read on its own: a registration file names the classes one module serves.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/guid.h"

namespace com {

// Registration files above this size are not read at all.
inline constexpr std::size_t kMaxRegistrationBytes = 64 * 1024;

struct Registration {
    std::vector<CLSID> classes;
    std::string module;  // as written in the file
};

// The registration in `text`, or nothing when the text is malformed: a line that is neither
// blank, a '#' comment nor Key=Value, a clsid that does not parse, no module line or two.
std::optional<Registration> ParseRegistration(std::string_view text);

// The registrations of the component folders, each file read once and then taken from memory
// while its identity and change stamp (device, inode, size, modification and status-change
// times, in nanoseconds) stay the same: every component created looks them up. A user cannot
// set a status-change time back, so a rewrite changes the stamp, unless it falls in the same
// tick of the file system's clock as the read; a file changed less than `settle` before it was
// read is therefore read again the next time. Safe to use from several threads.
class RegistrationCache {
public:
    explicit RegistrationCache(std::chrono::nanoseconds settle = std::chrono::seconds(2));
    ~RegistrationCache();

    // The module registered for `clsid` in the folders, searched as com.h describes, resolved
    // against the registration file's folder; nothing when no file registers the class.
    std::optional<std::string> FindModule(const std::vector<std::string>& folders, REFCLSID clsid);

private:
    struct Entry;
    // What the file at `path` registers now; nothing when it cannot be read or is malformed.
    const std::optional<Registration>& Read(const std::string& path);

    const std::chrono::nanoseconds settle_;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;  // by path
};

}  // namespace com
