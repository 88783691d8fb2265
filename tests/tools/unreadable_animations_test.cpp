// A character whose animations cannot be read, or two of whose animations are one name, is
// refused alike by the data provider the window connects to, by the checker and by unpacking.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "provider/AgentDataProvider_TLB.h"
#include "tests/provider/test_components.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using cfb::CompoundFileWriter;
using namespace cfb::entry;
constexpr std::size_t kFat = cfb::header::kDifat, kMiniFat = cfb::header::kFirstMiniFatSector;

// Entry 2 is "Wave", 5,000 bytes in ten sectors of their own; entry 3 is 100 bytes in mini
// sectors 1 and 2, the mini stream 192 bytes.
std::string Character(std::u16string third = u"Blink") {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"Character", "Name=Max\nState=Resting:Wave\n");
    writer.AddStream(CompoundFileWriter::kRoot, u"Wave", std::string(5000, 'w'));
    writer.AddStream(CompoundFileWriter::kRoot, third, std::string(100, 'b'));
    return writer.SaveToBytes();
}

// What the provider's activation says, or "" when it succeeds.
std::string Activation(const std::string& path) {
    ComPtr<IAgentDocFileProvider> docFile;
    EXPECT_EQ(CoCreateInstance(CLSID_AgentDataProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IAgentDocFileProvider,
                               docFile.PutVoid()),
              S_OK);
    const BSTR wide = AllocBstr(AnsiToWide(path));
    HRESULT hr = docFile->OpenDocFile(wide);
    SysFreeString(wide);
    ComPtr<IAgentDocFileObject> definition;
    ComPtr<IUnknown> second;
    if (SUCCEEDED(hr)) hr = docFile->GetDocFileObjects(definition.Put(), second.Put());
    if (SUCCEEDED(hr)) hr = definition->ActivateObject();
    ComPtr<IErrorInfo> info;
    BstrHolder text;
    if (FAILED(hr) && GetErrorInfo(0, info.Put()) == S_OK) info->GetDescription(text.Put());
    return SUCCEEDED(hr) ? "" : WideToAnsi(text.Text());
}

struct Damage {
    const char* animation;
    std::function<void(CfbPatch&)> apply;
    std::string reason;  // the reader's, as the provider and the checker give it
};

TEST(UnreadableAnimations, AreRefusedByTheProviderTheCheckerAndUnpacking) {
    const std::vector<Damage> damages = {
        {"Wave", [](CfbPatch& f) { f.SetEntry32(2, kStreamSize, 5000 + 3 * 512); },
         "the sector chain of stream \"Wave\" ends after 10 sectors, but its size needs 13"},
        {"Wave", [](CfbPatch& f) { f.SetEntry32(2, kStreamSize, 1u << 30); },
         "the sector chain of stream \"Wave\" needs 2097152 sectors for its size, but there are 14"},
        {"Wave", [](CfbPatch& f) { f.SetTableEntry(kFat, f.Entry32(2, kStartSector) + 5, f.Entry32(2, kStartSector) + 2); },
         "the sector chain of stream \"Wave\" loops at sector 6"},
        {"Wave", [](CfbPatch& f) { f.SetTableEntry(kFat, f.Entry32(2, kStartSector), cfb::kFreeSect); },
         "the sector chain of stream \"Wave\" reaches sector 4, which the FAT marks free"},
        {"Blink",
         [](CfbPatch& f) {
             f.SetEntry32(3, kStartSector, 40);
             f.SetTableEntry(kMiniFat, 40, 41);
             f.SetTableEntry(kMiniFat, 41, cfb::kEndOfChain);
         },
         "the data of stream \"Blink\" uses mini sector 40, beyond the mini stream's 192 bytes"},
        // The mini stream ends a byte before Blink's last, byte 163 of it.
        {"Blink", [](CfbPatch& f) { f.SetEntry32(0, kStreamSize, 163); },
         "the data of stream \"Blink\" uses mini sector 2, beyond the mini stream's 163 bytes"},
    };
    OleInitialize(nullptr);
    testcomponents::ComponentFolder components(true);
    TempDir dir;
    const std::string path = dir.File("max.acs"), folder = dir.File("unpacked");
    WriteFileAtomically(dir.File("AvailAnim.txt"), "Wave\nBlink\n");
    WriteFileAtomically(dir.File("AvailState.txt"), "Resting\n");
    auto expectRefusedByAll = [&](const CfbPatch& file, const std::string& activation, const std::string& unpacking) {
        WriteFileAtomically(path, file.Bytes());
        EXPECT_EQ(Activation(path), activation);
        const ProgramResult checked = RunProgram(QUORVEL_CHECK_PROGRAM, {path}, dir.Path());
        EXPECT_EQ(checked.status, 2);
        EXPECT_EQ(checked.err, path + ": error: Loading the character failed: " + activation + "\n");
        const ProgramResult unpacked = RunProgram(QUORVEL_PACK_PROGRAM, {"--unpack", path, folder});
        EXPECT_EQ(unpacked.status, 2);
        EXPECT_NE(unpacked.err.find(unpacking), std::string::npos) << unpacked.err;
        EXPECT_FALSE(std::filesystem::exists(folder));
    };
    for (const Damage& damage : damages) {
        CfbPatch file(Character());
        damage.apply(file);
        expectRefusedByAll(file,
                           "Cannot read the animation \"" + std::string(damage.animation) +
                               "\": the file is truncated or damaged (" + damage.reason + ")",
                           damage.animation + std::string(": cannot read the stream"));
    }
    // A mini stream may end right after the last byte of the small stream that reaches furthest.
    CfbPatch exact(Character());
    exact.SetEntry32(0, kStreamSize, 164);
    WriteFileAtomically(path, exact.Bytes());
    EXPECT_EQ(Activation(path), "");
    // Written as "WAVF" and renamed in place: the writer refuses two names that are one.
    CfbPatch twoCases(Character(u"WAVF"));
    twoCases.SetEntry16(3, 6, u'E');
    expectRefusedByAll(twoCases,
                       "The file holds the animations \"Wave\" and \"WAVE\", which are one name without regard to case",
                       "have one name without regard to case");
    OleUninitialize();
}

}  // namespace
