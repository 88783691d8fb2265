// The provider's operations must sit at the slots callers were built against. Each operation is
// called on an object whose table of function pointers is built by hand, one entry per slot;
// the entry that runs reports its slot.
#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "provider/AgentDataProvider_TLB.h"

namespace {

constexpr std::size_t kSlots = 40;

struct Call {
    int slot = -1;
    void* self = nullptr;
    void* first = nullptr;
    void* second = nullptr;
};
Call lastCall;

// Every operation takes at most two pointer-sized arguments, so one entry shape serves them all.
template <int Slot>
HRESULT Entry(void* self, void* first, void* second) {
    lastCall = {Slot, self, first, second};
    return 0x100 + Slot;
}

template <std::size_t... Slot>
std::array<void*, kSlots> MakeTable(std::index_sequence<Slot...>) {
    return {reinterpret_cast<void*>(&Entry<static_cast<int>(Slot)>)...};
}

struct HandBuiltObject {
    const std::array<void*, kSlots>* table;
};

class SlotTest : public ::testing::Test {
protected:
    template <class Interface>
    Interface* As() {
        return reinterpret_cast<Interface*>(&object_);
    }
    void ExpectCall(HRESULT result, int slot, void* first = nullptr, void* second = nullptr) {
        EXPECT_EQ(result, 0x100 + slot);
        EXPECT_EQ(lastCall.slot, slot);
        EXPECT_EQ(lastCall.self, &object_);
        if (first) {
            EXPECT_EQ(lastCall.first, first);
        }
        if (second) {
            EXPECT_EQ(lastCall.second, second);
        }
    }

    std::array<void*, kSlots> table_ = MakeTable(std::make_index_sequence<kSlots>());
    HandBuiltObject object_{&table_};
};

TEST_F(SlotTest, DocumentFileOperations) {
    BSTR path = AllocBstr(u"/tmp/x.acs");
    ExpectCall(As<IAgentDocFileProvider>()->OpenDocFile(path), 7, path);
    IAgentDocFileObject* first = nullptr;
    IUnknown* second = nullptr;
    ExpectCall(As<IAgentDocFileProvider>()->GetDocFileObjects(&first, &second), 8, &first,
               &second);
    ExpectCall(As<IAgentDocFileObject>()->ActivateObject(), 7);
    SysFreeString(path);
}

TEST_F(SlotTest, CharacterOperations) {
    BSTR name = nullptr;
    ExpectCall(As<IAgentCharacterProvider>()->GetCharacterName(&name), 9, &name);
    BSTR probe = AllocBstr(u"Wave");
    ExpectCall(As<IAgentCharacterProvider>()->VerifyAnimation(probe), 35, probe);
    ExpectCall(As<IAgentCharacterProvider>()->VerifyState(probe), 36, probe);
    SysFreeString(probe);
}

TEST_F(SlotTest, InheritedOperationsKeepTheirSlots) {
    void* out = nullptr;
    ExpectCall(As<IAgentCharacterProvider>()->QueryInterface(IID_IUnknown, &out), 0, nullptr, &out);
    EXPECT_EQ(As<IAgentDocFileProvider>()->Release(), 0x100u + 2);
    EXPECT_EQ(lastCall.slot, 2);
    UINT count = 0;
    ExpectCall(As<IAgentDocFileProvider>()->GetTypeInfoCount(&count), 3, &count);
}

}  // namespace
