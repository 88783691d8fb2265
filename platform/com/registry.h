// The component registry's file format, apart from the search and the loading so that it can be
// read on its own: a registration file names the classes one module serves.
#pragma once

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

// The module registered for `clsid` in the folders, searched as com.h describes, resolved
// against the registration file's folder; nothing when no file registers the class.
std::optional<std::string> FindModule(const std::vector<std::string>& folders, REFCLSID clsid);

}  // namespace com
