// A small writer of JSON in a fixed shape, indented by two spaces: members are written in the
// order given, strings escaped by JsonString.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/check/escaping.h"

class Json {
public:
    std::string text;

    void Open(const char* key, char bracket) {
        Key(key);
        text += bracket;
        first_ = true;
        ++depth_;
    }
    void Close(char bracket) {
        --depth_;
        if (!first_) NewLine();
        text += bracket;
        first_ = false;
    }
    void Value(const char* key, const std::string& raw) {
        Key(key);
        text += raw;
    }
    void String(const char* key, std::string_view value) {
        Key(key);
        AppendJsonString(text, value);
    }
    void Number(const char* key, long long value) { Value(key, std::to_string(value)); }
    void Null(const char* key) { Value(key, "null"); }
    // Any range of text: a vector of strings, a LineList.
    // Reports hold a hundred thousand names and more: each element is added in two steps, the
    // same separator and then the literal.
    template <class Range>
    void Strings(const char* key, const Range& values) {
        Open(key, '[');
        const std::string separator = ",\n" + std::string(2 * static_cast<std::size_t>(depth_), ' ');
        const std::string_view firstSeparator = std::string_view(separator).substr(1);
        for (std::string_view value : values) {
            text += first_ ? firstSeparator : std::string_view(separator);
            first_ = false;
            AppendJsonString(text, value);
        }
        Close(']');
    }

    // Where the writing stands, to come back to when what was written after it is to be dropped.
    struct Mark {
        std::size_t size;
        int depth;
        bool first;
    };
    Mark Here() const { return {text.size(), depth_, first_}; }
    void Rewind(const Mark& mark) {
        text.resize(mark.size);
        depth_ = mark.depth;
        first_ = mark.first;
    }

private:
    void NewLine() {
        text += '\n';
        text.append(2 * static_cast<std::size_t>(depth_), ' ');
    }
    // Array elements have no key.
    void Key(const char* key) {
        if (depth_ > 0) {
            if (!first_) text += ',';
            NewLine();
        }
        first_ = false;
        if (key) {
            AppendJsonString(text, key);
            text += ": ";
        }
    }

    int depth_ = 0;
    bool first_ = true;
};

