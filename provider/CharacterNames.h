// An interface of this project's own that the character data provider offers beside the two the
// window uses: the names the loaded character holds, so that the checker can tell an author which
// names a list forgot and which held name a missing one was probably meant to be. The window does
// not use it, and clients work with a provider that lacks it.
#pragma once

#include "platform/bstr.h"
#include "platform/unknown.h"

inline constexpr IID IID_ICharacterNames = MakeGuid("{F07B13EB-29BA-4AF5-B70B-E33B5A9A12CD}");

// Which names: the animations in the order of the file's elements, or the states in the order
// of the definition.
inline constexpr DWORD CHARACTER_NAMES_ANIMATIONS = 0;
inline constexpr DWORD CHARACTER_NAMES_STATES = 1;

struct ICharacterNames : IUnknown {
    // How many names of that kind the loaded character holds. E_INVALIDARG for another kind,
    // E_UNEXPECTED before a character is loaded.
    virtual HRESULT GetNameCount(DWORD kind, ULONG* count) = 0;
    // The name at `index` as a BSTR the caller frees (null for an empty name). E_INVALIDARG for
    // another kind or an index past the count.
    virtual HRESULT GetName(DWORD kind, ULONG index, BSTR* name) = 0;

protected:
    ~ICharacterNames() = default;
};
