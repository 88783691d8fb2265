#include "platform/com/registry.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace com {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The file's text, or nothing when it cannot be read or is too large to be a registration.
std::optional<std::string> ReadRegistrationFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // Sized by what the file holds (a registration is a few lines, and every component created
    // reads it), one byte more so that a file grown past the limit meanwhile is still refused.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxRegistrationBytes) return std::nullopt;
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > kMaxRegistrationBytes || in.bad()) return std::nullopt;
    text.resize(got);
    return text;
}

std::vector<std::filesystem::path> RegistrationFiles(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".component" && it->is_regular_file(error))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

std::optional<Registration> ParseRegistration(std::string_view text) {
    Registration registration;
    bool haveModule = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key == "clsid") {
            const auto clsid = ParseGuid(value);
            if (!clsid) return std::nullopt;
            registration.classes.push_back(*clsid);
        } else if (key == "module") {
            if (haveModule || value.empty()) return std::nullopt;
            registration.module = value;
            haveModule = true;
        }
    }
    if (!haveModule) return std::nullopt;
    return registration;
}

std::optional<std::string> FindModule(const std::vector<std::string>& folders, REFCLSID clsid) {
    for (const auto& folder : folders) {
        for (const auto& file : RegistrationFiles(folder)) {
            const auto text = ReadRegistrationFile(file);
            if (!text) continue;
            const auto registration = ParseRegistration(*text);
            if (!registration) continue;
            const auto& classes = registration->classes;
            if (std::find(classes.begin(), classes.end(), clsid) != classes.end())
                return (file.parent_path() / registration->module).lexically_normal().string();
        }
    }
    return std::nullopt;
}

}  // namespace com
