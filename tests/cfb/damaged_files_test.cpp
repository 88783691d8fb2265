// Every damaged file ends in a result code or a clean end of enumeration, with the elements that
// are sound still listed and readable; each refusal says which structure is damaged.
#include <gtest/gtest.h>

#include <map>

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
            storage->OpenStream(element.pwcsName, nullptr, STGM_SHARE_EXCLUSIVE, 0, stream.Put());
            char buffer[1024];
            ULONG got = 1;
            for (int calls = 0; got > 0 && calls < 64; ++calls)
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

TEST(DamagedFileReason, NamesTheDamagedStructure) {
    const std::map<std::string, std::string> expected = {
        {"Baseline", "no failure"},
        {"File511Bytes", "the file holds 511 bytes, fewer than a header's 512"},
        {"BadSignature", "the header does not start with a compound file's signature"},
        {"Version4WithShift9", "the header's version 4 with sector shift 9 is neither version 3 with 9 nor "
                               "version 4 with 12"},
        {"MiniCutoff2048", "the header's mini stream cutoff is 2048, not 4096"},
        {"FatCountZero", "the header's FAT sector count is 0"},
        {"DifatCountBeyondFile", "the header's DIFAT sector count (13) exceeds the file's 12 sectors"},
        {"MiniFatCountBeyondFile", "the header's mini FAT sector count (13) exceeds the file's 12 sectors"},
        {"Version4DirectoryCountBeyondFile", "the header's directory sector count (3) exceeds the file's 2 sectors"},
        {"DifatEntryPastEnd", "the header's DIFAT lists FAT sector 1048576, but the file holds 12 sectors"},
        {"DifatLoop", "the DIFAT's sector chain loops at sector 12"},
        {"DifatSectorListsSectorPastEnd", "DIFAT sector 12 lists FAT sector 16384, but the file holds 13 sectors"},
        {"DifatSectorPastEnd", "the DIFAT's sector chain refers to sector 20480, but the file holds 12 sectors"},
        {"DirectoryChainLoop", "the directory's sector chain loops: it is longer than the 12 sectors there are"},
        {"FirstDirectorySectorPastEnd", "the directory's sector chain refers to sector 4096, but there are 12"},
        {"MiniFatChainLoop", "the mini FAT's sector chain loops: it is longer than the 12 sectors there are"},
        {"RootIsStorageType", "the directory's first entry is of type 1, not the root's type 5"},
        {"ChildPointsToItself", "the child link of storage \"S\" leads to no usable entry (past the directory, "
                                "to an unused entry, or back into the tree)"},
        {"SiblingSelfLoop", "the sibling tree under the root storage has a damaged link (a loop, an entry met "
                            "twice, or a link to an unused entry or past the directory)"},
        {"StreamChainLoop", "the sector chain of stream \"Big\" loops at sector 4"},
        {"StreamChainShorterThanSize", "the sector chain of stream \"Big\" ends after 2 sectors, but its size needs 8"},
        {"StreamSizeBeyondFile", "the sector chain of stream \"Big\" needs 4194304 sectors for its size, but there "
                                 "are 12"},
        {"MiniChainLoop", "the mini sector chain of stream \"a\" loops at mini sector 0"},
        {"MiniSectorBeyondRootStream", "the data of stream \"a\" uses mini sector 5, beyond the mini stream's 64 bytes"},
        {"MiniStreamBeyondRootStream", "the data of stream \"a\" uses mini sector 0, beyond the mini stream's 0 bytes"},
        {"PartialDirectorySector", "the file is truncated: the directory reaches byte 1536, but the file ends at "
                                   "byte 1280"},
        {"CutInsideRegularStream", "the file is truncated: the FAT uses sector 7, but the file ends at byte 4096, "
                                   "with 7 sectors"},
        {"CutInsideLastSectorOfRegularStream", "the file is truncated: the data of stream \"Big\" needs 512 bytes of "
                                               "sector 11, but the file ends at byte 6655"},
        {"CutJustBeforeRegularStreamEnds", "the file is truncated: the data of stream \"Big\" needs 300 bytes of "
                                           "sector 12, but the file ends at byte 6955"},
        {"CutJustAfterRegularStreamEnds", "no failure"},
        {"CutInsideLastSectorMidChain", "the file is truncated: a sector chain that runs on needs 512 bytes of "
                                        "sector 11, but the file ends at byte 6556"},
        {"CutInsideLastSectorOfMiniFat", "the file is truncated: the mini FAT needs 512 bytes of sector 12, but the "
                                         "file ends at byte 6672"},
        {"CutInsideLastSectorOfMiniStream", "the file is truncated: the data of stream \"a\" needs 10 bytes of "
                                            "sector 3, but the file ends at byte 2057"},
        {"FullLastSectorOfMiniStream", "no failure"},
    };
    std::size_t checked = 0;
    for (const damaged::Case& c : damaged::AllCases()) {
        const auto wanted = expected.find(c.name);
        if (wanted == expected.end()) continue;
        EXPECT_EQ(FirstReason(c.make()), wanted->second) << c.name;
        ++checked;
    }
    EXPECT_EQ(checked, expected.size());
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
