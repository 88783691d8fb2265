// The character data provider component: OpenDocFile opens the character file, the definition
// object's ActivateObject loads the character from it and lets the file go, and the character
// interface answers from what was loaded. Every failure sets error information saying why.
#include <new>
#include <optional>

#include "dataprovider/loader.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/error.h"
#include "platform/ref_counted.h"
#include "provider/AgentDataProvider_TLB.h"
#include "provider/CharacterNames.h"

namespace {

class DataProvider;

// The definition of the opened file; activating it loads the character into the provider.
class DefinitionObject final : public RefCounted<WithoutLateBinding<IAgentDocFileObject>> {
public:
    explicit DefinitionObject(DataProvider* provider);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT ActivateObject() override;

private:
    ~DefinitionObject() override;

    DataProvider* provider_;  // holds a reference
};

class DataProvider final
    : public RefCounted<WithoutLateBinding<IAgentDocFileProvider>, AgentCharacterProviderBase,
                        ICharacterNames> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IAgentDocFileProvider) {
            *object = static_cast<IAgentDocFileProvider*>(this);
        } else if (iid == IID_IAgentCharacterProvider) {
            *object = static_cast<IAgentCharacterProvider*>(this);
        } else if (iid == IID_ICharacterNames) {
            *object = static_cast<ICharacterNames*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    HRESULT OpenDocFile(BSTR path) override {
        SetErrorInfo(0, nullptr);
        storage_.Reset();
        character_.reset();
        path_ = BstrToString(path);
        return OpenStorage();
    }

    HRESULT GetDocFileObjects(IAgentDocFileObject** definition, IUnknown** character) override {
        SetErrorInfo(0, nullptr);
        if (!definition || !character) return E_POINTER;
        *definition = nullptr;
        *character = nullptr;
        if (path_.empty()) return Fail(E_UNEXPECTED, "No character file has been opened");
        *definition = new (std::nothrow) DefinitionObject(this);
        if (!*definition) return E_OUTOFMEMORY;
        *character = static_cast<IAgentDocFileProvider*>(this);
        AddRef();
        return S_OK;
    }

    // Reads the character from the open file (reopening it when an earlier activation let it
    // go) and releases the file whatever the outcome, so that no lock outlives the call.
    HRESULT Activate() {
        SetErrorInfo(0, nullptr);
        character_.reset();
        if (!storage_) {
            const HRESULT opened = OpenStorage();
            if (FAILED(opened)) return opened;
        }
        const ComPtr<IStorage> storage = std::move(storage_);
        try {
            character_.emplace(character::LoadCharacter(*storage.Get()));
            return S_OK;
        } catch (const Error& error) {
            return Fail(FAILED(error.Code()) ? error.Code() : E_FAIL, error.what());
        } catch (const std::bad_alloc&) {
            return Fail(E_OUTOFMEMORY, "Not enough memory to load the character");
        } catch (const std::exception& error) {
            return Fail(E_UNEXPECTED, std::string("Cannot load the character: ") + error.what());
        }
    }

    HRESULT GetCharacterName(BSTR* name) override {
        SetErrorInfo(0, nullptr);
        if (!name) return E_POINTER;
        *name = nullptr;
        if (!character_) return NotLoaded();
        *name = AllocBstr(character_->Name());
        if (!*name && !character_->Name().empty()) return E_OUTOFMEMORY;
        return S_OK;
    }

    // Unknown names fail without error information: callers test many names and expect most
    // answers to be no.
    HRESULT VerifyAnimation(BSTR name) override {
        SetErrorInfo(0, nullptr);
        if (!character_) return NotLoaded();
        return character_->HasAnimation(BstrView(name)) ? S_OK : E_FAIL;
    }
    HRESULT VerifyState(BSTR name) override {
        SetErrorInfo(0, nullptr);
        if (!character_) return NotLoaded();
        return character_->HasState(BstrView(name)) ? S_OK : E_FAIL;
    }

    HRESULT GetNameCount(DWORD kind, ULONG* count) override {
        SetErrorInfo(0, nullptr);
        if (!count) return E_POINTER;
        *count = 0;
        const NameList* names = nullptr;
        if (const HRESULT hr = NamesOf(kind, &names); FAILED(hr)) return hr;
        *count = static_cast<ULONG>(names->Size());
        return S_OK;
    }
    HRESULT GetName(DWORD kind, ULONG index, BSTR* name) override {
        SetErrorInfo(0, nullptr);
        if (!name) return E_POINTER;
        *name = nullptr;
        const NameList* names = nullptr;
        if (const HRESULT hr = NamesOf(kind, &names); FAILED(hr)) return hr;
        if (index >= names->Size()) return Fail(E_INVALIDARG, "No name at that index");
        const std::u16string_view text = (*names)[index];
        *name = AllocBstr(text);
        if (!*name && !text.empty()) return E_OUTOFMEMORY;
        return S_OK;
    }

private:
    ~DataProvider() = default;

    HRESULT NamesOf(DWORD kind, const NameList** names) const {
        if (!character_) return NotLoaded();
        if (kind == CHARACTER_NAMES_ANIMATIONS) *names = &character_->AnimationNames();
        else if (kind == CHARACTER_NAMES_STATES) *names = &character_->StateNames();
        else return Fail(E_INVALIDARG, "No such kind of name");
        return S_OK;
    }

    static HRESULT Fail(HRESULT hr, const std::string& why) {
        SetErrorDescription(why);
        return hr;
    }
    static HRESULT NotLoaded() {
        return Fail(E_UNEXPECTED, "No character has been loaded from a character file");
    }

    HRESULT OpenStorage() {
        const HRESULT hr = StgOpenStorage(path_.c_str(), nullptr,
                                          STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                          storage_.Put());
        if (FAILED(hr))
            return Fail(hr, character::DescribeFileFailure("Cannot open the character file " + WideToPath(path_),
                                                           hr));
        return hr;
    }

    std::u16string path_;
    ComPtr<IStorage> storage_;  // from OpenDocFile until the activation
    std::optional<character::Character> character_;
};

DefinitionObject::DefinitionObject(DataProvider* provider) : provider_(provider) {
    provider_->AddRef();
}

DefinitionObject::~DefinitionObject() { provider_->Release(); }

HRESULT DefinitionObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IAgentDocFileObject) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IAgentDocFileObject*>(this);
    AddRef();
    return S_OK;
}

HRESULT DefinitionObject::ActivateObject() { return provider_->Activate(); }

// The factory lives as long as the module, which is never unloaded.
class ProviderFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* provider = new (std::nothrow) DataProvider;
        if (!provider) return E_OUTOFMEMORY;
        const HRESULT hr = static_cast<IAgentDocFileProvider*>(provider)->QueryInterface(iid, object);
        static_cast<IAgentDocFileProvider*>(provider)->Release();
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }
};

ProviderFactory factory;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                             REFIID iid,
                                                                             void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_AgentDataProvider) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}
