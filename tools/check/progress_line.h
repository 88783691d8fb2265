// A line on standard error, while it is a terminal, telling how many of a run's files are done
// ("checked 1,200 of 10,000 files"). It is drawn over itself and cleared before any other line
// is written there, so messages stay whole; it is never written to a pipe or a CI log.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class ProgressLine {
public:
    // Shown only when `shown`; `total` is the run's file count.
    ProgressLine(std::size_t total, bool shown) : total_(total), shown_(shown) {}
    ~ProgressLine() { Clear(); }

    // Redraws the line, at most ten times a second but always for the last file.
    void Update(std::size_t done) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < total_ && drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
        lastDrawn_ = now;
        Clear();
        const std::string text = "checked " + Grouped(done) + " of " + Grouped(total_) + " files";
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
        drawn_ = true;
    }
    // Removes the line, if it is there.
    void Clear() {
        if (!drawn_) return;
        std::fputs("\r\x1b[K", stderr);
        drawn_ = false;
    }

    // 10000 as "10,000".
    static std::string Grouped(std::size_t number) {
        const std::string digits = std::to_string(number);
        std::string grouped;
        for (std::size_t at = 0; at < digits.size(); ++at) {
            if (at > 0 && (digits.size() - at) % 3 == 0) grouped += ',';
            grouped += digits[at];
        }
        return grouped;
    }

private:
    std::size_t total_;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDrawn_;
};
