// The test-only providers of test_components.h: one object type whose behaviour is chosen by the
// class it was created for.
#include <atomic>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/ref_counted.h"
#include "provider/AgentDataProvider_TLB.h"
#include "tests/provider/test_components.h"

namespace {

using namespace testcomponents;

std::atomic<long> liveObjects{0};
std::u16string lastOpenedPath;

// Every name put to a test provider, in order, so tests can see what a validation run asked.
std::vector<std::u16string> askedNames;

HRESULT Answer(BSTR name) {
    const std::u16string text = BstrToString(name);
    askedNames.push_back(text);
    if (text.starts_with(u"ok")) return S_OK;
    if (text.starts_with(u"maybe")) return S_FALSE;
    return E_FAIL;
}

// Counts itself among the live objects from construction to destruction.
class Counted {
protected:
    Counted() { ++liveObjects; }
    ~Counted() { --liveObjects; }
};

class DocFileObject final : public RefCounted<WithoutLateBinding<IAgentDocFileObject>>, Counted {
public:
    explicit DocFileObject(bool fails) : fails_(fails) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IAgentDocFileObject) return E_NOINTERFACE;
        *object = static_cast<IAgentDocFileObject*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT ActivateObject() override {
        if (!fails_) return S_OK;
        SetErrorDescription(kActivateFailure);
        return E_FAIL;
    }

private:
    bool fails_;
};

class TestProvider final
    : public RefCounted<WithoutLateBinding<IAgentDocFileProvider>, AgentCharacterProviderBase>,
      Counted {
public:
    explicit TestProvider(const CLSID& behaviour) : behaviour_(behaviour) {}

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || (iid == IID_IAgentDocFileProvider && behaviour_ != kNoDocFile))
            *object = static_cast<IAgentDocFileProvider*>(this);
        else if (iid == IID_IAgentCharacterProvider && behaviour_ != kNoCharacter)
            *object = static_cast<IAgentCharacterProvider*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    HRESULT OpenDocFile(BSTR path) override {
        lastOpenedPath = BstrToString(path);
        return behaviour_ == kOpenDocFileFails ? E_FAIL : S_OK;
    }
    HRESULT GetDocFileObjects(IAgentDocFileObject** first, IUnknown** second) override {
        if (!first || !second) return E_POINTER;
        *first = nullptr;
        *second = nullptr;
        if (behaviour_ == kGetDocFileObjectsFails) return E_FAIL;
        if (behaviour_ != kNullFirstObject)
            *first = new DocFileObject(behaviour_ == kActivateObjectFails);
        *second = static_cast<IAgentDocFileObject*>(new DocFileObject(false));
        return S_OK;
    }
    HRESULT GetCharacterName(BSTR* name) override {
        if (!name) return E_POINTER;
        *name = nullptr;
        if (behaviour_ == kGetCharacterNameFails) return E_FAIL;
        *name = AllocBstr(u"Probe");
        return S_OK;
    }
    HRESULT VerifyAnimation(BSTR name) override { return Answer(name); }
    HRESULT VerifyState(BSTR name) override { return Answer(name); }

private:
    CLSID behaviour_;
};

class TestFactory final : public RefCounted<IClassFactory> {
public:
    explicit TestFactory(const CLSID& behaviour) : behaviour_(behaviour) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* provider = new TestProvider(behaviour_);
        const HRESULT hr = static_cast<IAgentDocFileProvider*>(provider)->QueryInterface(iid, object);
        static_cast<IAgentDocFileProvider*>(provider)->Release();
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    CLSID behaviour_;
};

// The behaviour served under the real provider's class, for code that always creates that class;
// none until a test chooses one.
CLSID servedAsProvider{};
bool servingAsProvider = false;

}  // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    CLSID behaviour = clsid;
    if (clsid == CLSID_AgentDataProvider && servingAsProvider) behaviour = servedAsProvider;
    bool known = false;
    for (const auto& served : TestClasses()) known = known || served == behaviour;
    if (!known) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new TestFactory(behaviour);
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

extern "C" long QuorvelTestLiveObjects() { return liveObjects; }

extern "C" std::size_t QuorvelTestAskedNameCount() { return askedNames.size(); }

extern "C" const char16_t* QuorvelTestAskedName(std::size_t index) {
    return index < askedNames.size() ? askedNames[index].c_str() : nullptr;
}

extern "C" void QuorvelTestForgetAskedNames() { askedNames.clear(); }

extern "C" void QuorvelTestServeAsProvider(const CLSID* behaviour) {
    servingAsProvider = behaviour != nullptr;
    if (behaviour) servedAsProvider = *behaviour;
}

extern "C" const char16_t* QuorvelTestLastOpenedPath() { return lastOpenedPath.c_str(); }
