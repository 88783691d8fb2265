// Component creation, error information and the test providers that other tests rely on.
#include <gtest/gtest.h>

#include "platform/com/com.h"
#include "provider/AgentDataProvider_TLB.h"
#include "tests/provider/test_components.h"

namespace {

using namespace testcomponents;

class ComponentsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
    void TearDown() override {
        OleUninitialize();
        IErrorInfo* stale = nullptr;
        GetErrorInfo(0, &stale);
        if (stale) stale->Release();
    }

    HRESULT Create(const CLSID& clsid, ComPtr<IUnknown>& out) {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, out.PutVoid());
    }

    ComponentFolder folder_;
};

TEST(Initialisation, IsCountedAndGatesCreation) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(kWorking, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.PutVoid()),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE);
    OleUninitialize();
    OleUninitialize();
    EXPECT_EQ(CoCreateInstance(kWorking, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.PutVoid()),
              CO_E_NOTINITIALIZED);
    int reserved = 0;
    EXPECT_EQ(OleInitialize(&reserved), E_INVALIDARG);
}

TEST_F(ComponentsTest, CreatesRegisteredClassesAndRefusesOthers) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(Create(kWorking, object), S_OK);
    EXPECT_TRUE(object);
    EXPECT_EQ(Create(kUnregistered, object), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(object);

    EXPECT_EQ(CoCreateInstance(kWorking, nullptr, 4, IID_IUnknown, object.PutVoid()),
              REGDB_E_CLASSNOTREG);
    ComPtr<IUnknown> outer;
    ASSERT_EQ(Create(kWorking, outer), S_OK);
    EXPECT_EQ(CoCreateInstance(kWorking, outer.Get(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                               object.PutVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(object);
    EXPECT_EQ(CoCreateInstance(kWorking, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
              E_POINTER);
}

TEST_F(ComponentsTest, TestProvidersLackWhatTheirNameSays) {
    ComPtr<IUnknown> object;
    ComPtr<IAgentDocFileProvider> docFile;
    ComPtr<IAgentCharacterProvider> character;
    ASSERT_EQ(Create(kNoDocFile, object), S_OK);
    EXPECT_EQ(object->QueryInterface(IID_IAgentDocFileProvider, docFile.PutVoid()), E_NOINTERFACE);
    EXPECT_EQ(object->QueryInterface(IID_IAgentCharacterProvider, character.PutVoid()), S_OK);
    ASSERT_EQ(Create(kNoCharacter, object), S_OK);
    EXPECT_EQ(object->QueryInterface(IID_IAgentDocFileProvider, docFile.PutVoid()), S_OK);
    EXPECT_EQ(object->QueryInterface(IID_IAgentCharacterProvider, character.PutVoid()),
              E_NOINTERFACE);
}

TEST_F(ComponentsTest, ReleasingEverythingLeavesNoTestObjectAlive) {
    const long before = LiveTestObjects();
    {
        ComPtr<IUnknown> object;
        ASSERT_EQ(Create(kActivateObjectFails, object), S_OK);
        ComPtr<IAgentDocFileProvider> docFile;
        ASSERT_EQ(object->QueryInterface(IID_IAgentDocFileProvider, docFile.PutVoid()), S_OK);
        BSTR path = AllocBstr(u"/data/Probe.acs");
        EXPECT_EQ(docFile->OpenDocFile(path), S_OK);
        SysFreeString(path);
        EXPECT_EQ(LastOpenedPath(), u"/data/Probe.acs");
        ComPtr<IAgentDocFileObject> first;
        ComPtr<IUnknown> second;
        ASSERT_EQ(docFile->GetDocFileObjects(first.Put(), second.Put()), S_OK);
        EXPECT_EQ(LiveTestObjects(), before + 3);
        const HRESULT hr = first->ActivateObject();
        EXPECT_EQ(hr, E_FAIL);
        try {
            RaiseCallFailure("Cannot activate", hr);
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), std::string("Cannot activate: ") + kActivateFailure);
        }
    }
    EXPECT_EQ(LiveTestObjects(), before);
}

TEST_F(ComponentsTest, ErrorInformationIsHandedOverOnce) {
    IErrorInfo* info = reinterpret_cast<IErrorInfo*>(1);
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
    EXPECT_EQ(info, nullptr);

    SetErrorDescription("first");
    SetErrorDescription("the component's reason");
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BstrHolder text;
    EXPECT_EQ(info->GetDescription(text.Put()), S_OK);
    EXPECT_EQ(text.Text(), u"the component's reason");
    info->Release();
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);

    SetErrorDescription("stale");
    EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
}

TEST_F(ComponentsTest, CallFailureWithoutDescriptionUsesTheCodesMessage) {
    try {
        RaiseCallFailure("GetCharacterName", E_FAIL);
        FAIL();
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "GetCharacterName: Unspecified error. (0x80004005)");
    }
}

}  // namespace
