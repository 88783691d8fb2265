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
