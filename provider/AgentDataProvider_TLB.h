// The character data provider's identifiers and interfaces. Each interface derives from IDispatch
// (slots 0 to 6) and declares no destructor, so an operation's slot is its position in
// declaration order; the unused slots of the character interface are held by Reserved entries so
// that the used operations sit at the slots callers rely on.
#pragma once

#include "platform/bstr.h"
#include "platform/unknown.h"

inline constexpr CLSID CLSID_AgentDataProvider = MakeGuid("{BB64DF2F-88E4-11D0-9E87-00C04FD7081F}");
inline constexpr IID IID_IAgentDocFileProvider = MakeGuid("{506492F3-8907-11D0-9E87-00C04FD7081F}");
inline constexpr IID IID_IAgentCharacterProvider =
    MakeGuid("{AA708873-8B79-11D0-9E87-00C04FD7081F}");
inline constexpr IID IID_IAgentDocFileObject = MakeGuid("{C1A9E4B6-3D27-4F58-9B0C-6E2D81F4A705}");

// An object of an opened character file. Callers use it as returned, without QueryInterface.
struct IAgentDocFileObject : IDispatch {
    // Slot 7: reads and checks what the object stands for; a failure sets error information.
    virtual HRESULT ActivateObject() = 0;

protected:
    ~IAgentDocFileObject() = default;
};

struct IAgentDocFileProvider : IDispatch {
    // Slot 7: opens the character file at `path` (a full path).
    virtual HRESULT OpenDocFile(BSTR path) = 0;
    // Slot 8: the objects of the open file, each a reference the caller releases: the definition,
    // whose ActivateObject loads the character, and the character object itself.
    virtual HRESULT GetDocFileObjects(IAgentDocFileObject** definition, IUnknown** character) = 0;

protected:
    ~IAgentDocFileProvider() = default;
};

struct IAgentCharacterProvider : IDispatch {
    virtual HRESULT Reserved7() = 0;
    virtual HRESULT Reserved8() = 0;
    // Slot 9: the character's name as a BSTR the caller frees (null for an empty name).
    virtual HRESULT GetCharacterName(BSTR* name) = 0;
    virtual HRESULT Reserved10() = 0;
    virtual HRESULT Reserved11() = 0;
    virtual HRESULT Reserved12() = 0;
    virtual HRESULT Reserved13() = 0;
    virtual HRESULT Reserved14() = 0;
    virtual HRESULT Reserved15() = 0;
    virtual HRESULT Reserved16() = 0;
    virtual HRESULT Reserved17() = 0;
    virtual HRESULT Reserved18() = 0;
    virtual HRESULT Reserved19() = 0;
    virtual HRESULT Reserved20() = 0;
    virtual HRESULT Reserved21() = 0;
    virtual HRESULT Reserved22() = 0;
    virtual HRESULT Reserved23() = 0;
    virtual HRESULT Reserved24() = 0;
    virtual HRESULT Reserved25() = 0;
    virtual HRESULT Reserved26() = 0;
    virtual HRESULT Reserved27() = 0;
    virtual HRESULT Reserved28() = 0;
    virtual HRESULT Reserved29() = 0;
    virtual HRESULT Reserved30() = 0;
    virtual HRESULT Reserved31() = 0;
    virtual HRESULT Reserved32() = 0;
    virtual HRESULT Reserved33() = 0;
    virtual HRESULT Reserved34() = 0;
    // Slots 35 and 36: S_OK when the character has an animation or a state of that name (compared
    // without regard to case), a failure code otherwise.
    virtual HRESULT VerifyAnimation(BSTR name) = 0;
    virtual HRESULT VerifyState(BSTR name) = 0;

protected:
    ~IAgentCharacterProvider() = default;
};

// For implementations: late binding is not offered, so the IDispatch slots answer that there is
// no type information.
template <class Interface>
struct WithoutLateBinding : Interface {
    HRESULT GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, DWORD, void**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPWSTR*, UINT, DWORD, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT Invoke(std::int32_t, REFIID, DWORD, std::uint16_t, void*, void*, void*, UINT*) override {
        return E_NOTIMPL;
    }

protected:
    ~WithoutLateBinding() = default;
};

// For implementations: the reserved slots answer E_NOTIMPL.
struct AgentCharacterProviderBase : WithoutLateBinding<IAgentCharacterProvider> {
    HRESULT Reserved7() override { return E_NOTIMPL; }
    HRESULT Reserved8() override { return E_NOTIMPL; }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Reserved12() override { return E_NOTIMPL; }
    HRESULT Reserved13() override { return E_NOTIMPL; }
    HRESULT Reserved14() override { return E_NOTIMPL; }
    HRESULT Reserved15() override { return E_NOTIMPL; }
    HRESULT Reserved16() override { return E_NOTIMPL; }
    HRESULT Reserved17() override { return E_NOTIMPL; }
    HRESULT Reserved18() override { return E_NOTIMPL; }
    HRESULT Reserved19() override { return E_NOTIMPL; }
    HRESULT Reserved20() override { return E_NOTIMPL; }
    HRESULT Reserved21() override { return E_NOTIMPL; }
    HRESULT Reserved22() override { return E_NOTIMPL; }
    HRESULT Reserved23() override { return E_NOTIMPL; }
    HRESULT Reserved24() override { return E_NOTIMPL; }
    HRESULT Reserved25() override { return E_NOTIMPL; }
    HRESULT Reserved26() override { return E_NOTIMPL; }
    HRESULT Reserved27() override { return E_NOTIMPL; }
    HRESULT Reserved28() override { return E_NOTIMPL; }
    HRESULT Reserved29() override { return E_NOTIMPL; }
    HRESULT Reserved30() override { return E_NOTIMPL; }
    HRESULT Reserved31() override { return E_NOTIMPL; }
    HRESULT Reserved32() override { return E_NOTIMPL; }
    HRESULT Reserved33() override { return E_NOTIMPL; }
    HRESULT Reserved34() override { return E_NOTIMPL; }

protected:
    ~AgentCharacterProviderBase() = default;
};
