// Length-prefixed UTF-16 strings as component calls pass them (a null BSTR is the empty string),
// and task memory, which backs names handed out by the storage services.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "types.h"

BSTR SysAllocString(const char16_t* text);
BSTR SysAllocStringLen(const char16_t* text, UINT length);
UINT SysStringLen(BSTR text);
void SysFreeString(BSTR text);

void* CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void* block);

// Convenience for callers that hold std::u16string values.
BSTR AllocBstr(std::u16string_view text);
std::u16string BstrToString(BSTR text);
// The text without a copy, valid while the BSTR is.
std::u16string_view BstrView(BSTR text);

// One BSTR rewritten for one text after another, for putting many texts to calls that only read
// their argument: it is allocated again only when a text is longer than its room.
class ReusedBstr {
public:
    ReusedBstr() = default;
    ReusedBstr(const ReusedBstr&) = delete;
    ReusedBstr& operator=(const ReusedBstr&) = delete;
    ~ReusedBstr() { SysFreeString(value_); }

    // The BSTR holding `text`: null for the empty text, and when memory runs out. Valid until
    // the next call.
    BSTR Set(std::u16string_view text);
    // The same for ASCII text, byte for unit. REQUIRES: every byte is below 0x80.
    BSTR SetAscii(std::string_view text);

private:
    // Room for `length` units, with the length prefix and the terminator set; null when the
    // memory cannot be had.
    char16_t* Room(std::size_t length);
    // Set for text of any kind whose elements are its units.
    template <class Text>
    BSTR SetUnits(Text text);

    BSTR value_ = nullptr;
    std::size_t room_ = 0;  // units value_ can hold
};

// Frees the BSTR it holds; for out parameters received from a component.
class BstrHolder {
public:
    BstrHolder() = default;
    BstrHolder(const BstrHolder&) = delete;
    BstrHolder& operator=(const BstrHolder&) = delete;
    ~BstrHolder() { SysFreeString(value_); }
    BSTR* Put() {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    BSTR Get() const { return value_; }
    std::u16string Text() const { return BstrToString(value_); }

private:
    BSTR value_ = nullptr;
};
