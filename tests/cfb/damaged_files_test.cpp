// Every damaged file ends in a result code or a clean end of enumeration, with the elements that
// are sound still listed and readable; each refusal says which structure is damaged.
#include <gtest/gtest.h>

#include "damaged_cases.h"
#include "explore.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

class DamagedFile : public testing::TestWithParam<damaged::Case> {};

TEST_P(DamagedFile, EndsInAResultCode) {
    TempDir dir;
    const std::string path = dir.File("damaged.acs");
    WriteFileAtomically(path, GetParam().make());
    EXPECT_EQ(explore::File(path), GetParam().walk);
}

INSTANTIATE_TEST_SUITE_P(Crafted, DamagedFile, testing::ValuesIn(damaged::AllCases()),
                         [](const testing::TestParamInfo<damaged::Case>& info) { return info.param.name; });

// The thread's error description right after the first failing call of the walk ("" when the
// failing call left none, "no failure" when every call succeeded).
std::string Reason() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Put()) != S_OK) return "";
    BstrHolder text;
    info->GetDescription(text.Put());
    return WideToAnsi(text.Text());
}

std::string FirstReason(IStorage* storage) {
    ComPtr<IEnumSTATSTG> elements;
    if (FAILED(storage->EnumElements(0, nullptr, 0, elements.Put()))) return Reason();
    for (;;) {
        STATSTG element;
        ULONG fetched = 0;
        const HRESULT hr = elements->Next(1, &element, &fetched);
        if (FAILED(hr)) return Reason();
        if (hr != S_OK) return "no failure";
        std::string found = "no failure";
        if (element.type == STGTY_STORAGE) {
            ComPtr<IStorage> child;
            if (SUCCEEDED(storage->OpenStorage(element.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                               child.Put())))
                found = FirstReason(child.Get());
        } else if (element.type == STGTY_STREAM) {
            ComPtr<IStream> stream;
            char buffer[1024];
            ULONG got = 1;
            if (FAILED(storage->OpenStream(element.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE, 0, stream.Put())))
                found = Reason();
            for (int calls = 0; stream && got > 0 && calls < 64; ++calls)
                if (FAILED(stream->Read(buffer, sizeof buffer, &got))) found = Reason();
        }
        CoTaskMemFree(element.pwcsName);
        if (found != "no failure") return found;
    }
}

std::string FirstReason(const std::string& bytes) {
    TempDir dir;
    const std::string path = dir.File("damaged.acs");
    WriteFileAtomically(path, bytes);
    ComPtr<IStorage> root;
    const std::u16string wide = AnsiToWide(path);
    if (FAILED(StgOpenStorage(wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, root.Put())))
        return Reason();
    return FirstReason(root.Get());
}

// Every case names its reason, and a walk that meets a failure goes with a reason that is one.
TEST(DamagedFileReason, NamesTheDamagedStructure) {
    for (const damaged::Case& c : damaged::AllCases()) {
        EXPECT_EQ(FirstReason(c.make()), c.reason) << c.name;
        EXPECT_EQ(c.walk.find("0x") != std::string::npos, c.reason != "no failure") << c.name;
    }
}

TEST(DamagedFileReason, ASuccessLeavesNoStaleReason) {
    const auto cases = damaged::AllCases();
    auto make = [&](const std::string& name) {
        for (const auto& c : cases)
            if (c.name == name) return c.make();
        return std::string();
    };
    FirstReason(make("DifatLoop"));
    SetErrorDescription("left over");
    EXPECT_EQ(FirstReason(make("Baseline")), "no failure");
    EXPECT_EQ(Reason(), "");
    // A stream that fails and then one that succeeds: the success clears the reason.
    TempDir dir;
    const std::string path = dir.File("loop.acs");
    WriteFileAtomically(path, make("StreamChainLoop"));
    ComPtr<IStorage> root;
    const std::u16string wide = AnsiToWide(path);
    ASSERT_EQ(StgOpenStorage(wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, root.Put()), S_OK);
    ComPtr<IStream> big;
    ASSERT_EQ(root->OpenStream(u"Big", nullptr, STGM_SHARE_EXCLUSIVE, 0, big.Put()), S_OK);
    char byte;
    ULONG got = 0;
    EXPECT_EQ(big->Read(&byte, 1, &got), STG_E_DOCFILECORRUPT);
    ComPtr<IStorage> s;
    ASSERT_EQ(root->OpenStorage(u"S", nullptr, STGM_SHARE_EXCLUSIVE, nullptr, 0, s.Put()), S_OK);
    ComPtr<IStream> a;
    ASSERT_EQ(s->OpenStream(u"a", nullptr, STGM_SHARE_EXCLUSIVE, 0, a.Put()), S_OK);
    EXPECT_EQ(a->Read(&byte, 1, &got), S_OK);
    EXPECT_EQ(Reason(), "");
}

}  // namespace
