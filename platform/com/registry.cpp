#include "platform/com/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>

namespace com {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Who a file is and when it last changed, as stat gives it.
struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{}, changed{};

    explicit Stamp(const struct stat& info)
        : device(info.st_dev), inode(info.st_ino), size(info.st_size), modified(info.st_mtim),
          changed(info.st_ctim) {}
    bool operator==(const Stamp& other) const {
        auto same = [](const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; };
        return device == other.device && inode == other.inode && size == other.size &&
               same(modified, other.modified) && same(changed, other.changed);
    }
};

std::chrono::nanoseconds SinceEpoch(const timespec& time) {
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

// The text of the open file, or nothing when it cannot be read or is too large to be a
// registration. Sized by what the file holds (a registration is a few lines), one byte more so
// that a file grown past the limit meanwhile is still refused.
std::optional<std::string> ReadRegistrationText(int fd, const struct stat& info) {
    if (!S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uintmax_t>(info.st_size) > kMaxRegistrationBytes)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got > kMaxRegistrationBytes) return std::nullopt;
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

struct RegistrationCache::Entry {
    Stamp stamp;
    bool trusted;  // changed long enough before it was read for a later change to show
    std::optional<Registration> registration;
};

RegistrationCache::RegistrationCache(std::chrono::nanoseconds settle) : settle_(settle) {}

RegistrationCache::~RegistrationCache() = default;

const std::optional<Registration>& RegistrationCache::Read(const std::string& path) {
    static const std::optional<Registration> kUnreadable;
    struct stat info {};
    const auto known = entries_.find(path);
    if (known != entries_.end() && known->second.trusted && ::stat(path.c_str(), &info) == 0 &&
        known->second.stamp == Stamp(info))
        return known->second.registration;

    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // Not blocking: a file swapped for a pipe after the folder was listed must not hang the
    // creation.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return kUnreadable;
    // The stamp is taken before the text is read: a change while reading shows in the next one.
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0) text = ReadRegistrationText(fd, info);
    ::close(fd);
    if (!text) {
        entries_.erase(path);
        return kUnreadable;
    }
    Entry entry{Stamp(info), SinceEpoch(info.st_ctim) + settle_ < SinceEpoch(now), ParseRegistration(*text)};
    return entries_.insert_or_assign(path, std::move(entry)).first->second.registration;
}

std::optional<std::string> RegistrationCache::FindModule(const std::vector<std::string>& folders, REFCLSID clsid) {
    const std::lock_guard lock(mutex_);
    for (const auto& folder : folders) {
        for (const auto& file : RegistrationFiles(folder)) {
            const auto& registration = Read(file.string());
            if (!registration) continue;
            const auto& classes = registration->classes;
            if (std::find(classes.begin(), classes.end(), clsid) != classes.end())
                return (file.parent_path() / registration->module).lexically_normal().string();
        }
    }
    return std::nullopt;
}

}  // namespace com
