// The character data provider as callers meet it: created through the registry, opening real
// character files and answering about the character in them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "dataprovider/definition.h"
#include "dataprovider/loader.h"
#include "platform/cfb/writer.h"
#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/files.h"
#include "platform/linelist.h"
#include "platform/storage.h"
#include "provider/AgentDataProvider_TLB.h"
#include "provider/CharacterNames.h"
#include "tests/provider/test_components.h"
#include "tests/support/cfb_patch.h"

namespace {

using cfb::CompoundFileWriter;

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
        ComPtr<IUnknown> provider;
        ASSERT_EQ(CoCreateInstance(CLSID_AgentDataProvider, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IUnknown, provider.PutVoid()),
                  S_OK);
        ASSERT_EQ(provider->QueryInterface(IID_IAgentDocFileProvider, docFile_.PutVoid()), S_OK);
        ASSERT_EQ(provider->QueryInterface(IID_IAgentCharacterProvider, character_.PutVoid()),
                  S_OK);
        path_ = (std::filesystem::temp_directory_path() /
                 ("quorvel-provider-" + std::to_string(::getpid()) + ".acs"))
                    .string();
    }
    void TearDown() override {
        docFile_.Reset();
        character_.Reset();
        std::filesystem::remove(path_);
        OleUninitialize();
    }

    void WriteFile(const std::string& definition, std::vector<std::u16string> streams = {},
                   std::vector<std::u16string> storages = {}) {
        CompoundFileWriter writer;
        writer.AddStream(CompoundFileWriter::kRoot, u"Character", definition);
        for (const auto& name : streams) writer.AddStream(CompoundFileWriter::kRoot, name, "frames");
        for (const auto& name : storages) writer.AddStorage(CompoundFileWriter::kRoot, name);
        writer.SaveToFile(path_);
    }
    void WriteWithoutDefinition() {
        CompoundFileWriter writer;
        writer.AddStream(CompoundFileWriter::kRoot, u"Wave", "frames");
        writer.SaveToFile(path_);
    }

    HRESULT Open() {
        BSTR path = AllocBstr(AnsiToWide(path_));
        const HRESULT hr = docFile_->OpenDocFile(path);
        SysFreeString(path);
        return hr;
    }
    // Opens the file and activates its definition; the error description on failure.
    HRESULT Activate() {
        HRESULT hr = Open();
        if (FAILED(hr)) return hr;
        ComPtr<IAgentDocFileObject> definition;
        ComPtr<IUnknown> second;
        hr = docFile_->GetDocFileObjects(definition.Put(), second.Put());
        if (FAILED(hr)) return hr;
        return definition->ActivateObject();
    }
    std::string Description() {
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.Put()) != S_OK) return "(none)";
        BstrHolder text;
        info->GetDescription(text.Put());
        return WideToAnsi(text.Text());
    }
    HRESULT Animation(std::u16string_view name) { return Ask(&IAgentCharacterProvider::VerifyAnimation, name); }
    HRESULT State(std::u16string_view name) { return Ask(&IAgentCharacterProvider::VerifyState, name); }
    std::u16string Name() {
        BstrHolder name;
        EXPECT_EQ(character_->GetCharacterName(name.Put()), S_OK);
        return name.Text();
    }

    testcomponents::ComponentFolder folder_{true};
    ComPtr<IAgentDocFileProvider> docFile_;
    ComPtr<IAgentCharacterProvider> character_;
    std::string path_;

private:
    HRESULT Ask(HRESULT (IAgentCharacterProvider::*operation)(BSTR), std::u16string_view name) {
        BSTR text = AllocBstr(name);
        const HRESULT hr = (character_.Get()->*operation)(text);
        SysFreeString(text);
        return hr;
    }
};

TEST_F(ProviderTest, AnswersAboutTheCharacterWithoutRegardToCase) {
    WriteFile("Name=Tobin\nState=Resting:Idle,Blink\nState=Talking:Speak\n",
              {u"Idle", u"Blink", u"Speak", u"Wave"});
    ASSERT_EQ(Activate(), S_OK);
    EXPECT_EQ(Name(), u"Tobin");
    EXPECT_EQ(Animation(u"wave"), S_OK);
    EXPECT_EQ(Animation(u"SPEAK"), S_OK);
    EXPECT_TRUE(FAILED(Animation(u"Dance")));
    EXPECT_TRUE(FAILED(Animation(u"Character")));
    EXPECT_TRUE(FAILED(Animation(u"")));
    EXPECT_EQ(State(u"resting"), S_OK);
    EXPECT_TRUE(FAILED(State(u"Idle")));
    EXPECT_TRUE(FAILED(State(u"")));
}

// The names interface, for the checker's hints: the names as the file spells them, animations
// in element order (storages and control-named streams left out), states in definition order.
TEST_F(ProviderTest, ListsTheCharactersOwnNames) {
    ComPtr<ICharacterNames> names;
    ASSERT_EQ(character_->QueryInterface(IID_ICharacterNames, names.PutVoid()), S_OK);
    ULONG count = 7;
    EXPECT_EQ(names->GetNameCount(CHARACTER_NAMES_ANIMATIONS, &count), E_UNEXPECTED);
    EXPECT_EQ(count, 0u);

    WriteFile("Name=Tobin\nState=Resting:Idle,Blink\nState=Talking:Speak\n",
              {u"Idle", u"Blink", u"Speak", u"\x05SummaryInformation"}, {u"Frames"});
    ASSERT_EQ(Activate(), S_OK);
    auto all = [&](DWORD kind) {
        std::vector<std::u16string> out;
        ULONG total = 0;
        EXPECT_EQ(names->GetNameCount(kind, &total), S_OK);
        for (ULONG i = 0; i < total; ++i) {
            BstrHolder name;
            EXPECT_EQ(names->GetName(kind, i, name.Put()), S_OK);
            out.push_back(name.Text());
        }
        BstrHolder past;
        EXPECT_EQ(names->GetName(kind, total, past.Put()), E_INVALIDARG);
        EXPECT_EQ(past.Get(), nullptr);
        return out;
    };
    EXPECT_EQ(all(CHARACTER_NAMES_ANIMATIONS), (std::vector<std::u16string>{u"Idle", u"Blink", u"Speak"}));
    EXPECT_EQ(all(CHARACTER_NAMES_STATES), (std::vector<std::u16string>{u"Resting", u"Talking"}));
    EXPECT_EQ(names->GetNameCount(2, &count), E_INVALIDARG);
    EXPECT_EQ(names->GetNameCount(CHARACTER_NAMES_STATES, nullptr), E_POINTER);
}

TEST_F(ProviderTest, EmptyNameComesBackAsNullBstr) {
    WriteFile("Name=\n");
    ASSERT_EQ(Activate(), S_OK);
    BSTR name = reinterpret_cast<BSTR>(this);
    EXPECT_EQ(character_->GetCharacterName(&name), S_OK);
    EXPECT_EQ(name, nullptr);
}

TEST_F(ProviderTest, StoragesAndControlNamedStreamsAreNotAnimations) {
    WriteFile("Name=Tobin\n", {u"Wave", u"\x05SummaryInformation", u"\x01" u"CompObj"},
              {u"Frames"});
    ASSERT_EQ(Activate(), S_OK);
    EXPECT_EQ(Animation(u"Wave"), S_OK);
    EXPECT_TRUE(FAILED(Animation(u"Frames")));
    EXPECT_TRUE(FAILED(Animation(u"\x05SummaryInformation")));

    WriteFile("Name=Tobin\nState=Resting:Frames\n", {u"Wave"}, {u"Frames"});
    EXPECT_EQ(Activate(), E_INVALIDDATA);
    EXPECT_EQ(Description(),
              "Character definition, line 2: the state \"Resting\" names the animation "
              "\"Frames\", which the file does not hold");
}

TEST_F(ProviderTest, NothingIsAnsweredBeforeASuccessfulActivation) {
    BstrHolder name;
    EXPECT_EQ(character_->GetCharacterName(name.Put()), E_UNEXPECTED);
    EXPECT_EQ(Animation(u"Wave"), E_UNEXPECTED);

    WriteFile("Name=Tobin\n", {u"Wave"});
    ASSERT_EQ(Activate(), S_OK);
    WriteFile("Name=Tobin\nName=Again\n", {u"Wave"});
    EXPECT_TRUE(FAILED(Activate()));
    EXPECT_EQ(Animation(u"Wave"), E_UNEXPECTED);
    EXPECT_EQ(character_->GetCharacterName(name.Put()), E_UNEXPECTED);
}

// A definition that cannot be used fails as invalid data, which tells its kind to the caller.
TEST_F(ProviderTest, ActivationFailuresSayWhy) {
    WriteWithoutDefinition();
    EXPECT_EQ(Activate(), E_INVALIDDATA);
    EXPECT_EQ(Description(),
              "The character file holds no Character stream (the character's definition)");

    WriteFile("# only a comment\n");
    EXPECT_EQ(Activate(), E_INVALIDDATA);
    EXPECT_EQ(Description(), "Character definition: there is no Name line");

    WriteFile("Name=Tobin\n\nVoice=\xC3\x28\n");
    EXPECT_EQ(Activate(), E_INVALIDDATA);
    EXPECT_EQ(Description(), "Character definition, line 3: the text is not valid UTF-8");

    WriteFile("Name=Tobin\n" + std::string(character::kMaxDefinitionBytes, '#'));
    EXPECT_EQ(Activate(), E_INVALIDDATA);
    EXPECT_EQ(Description(), "The Character stream is larger than 1 MiB, too large for a definition");

    WriteFile("Name=Tobin\n#" + std::string(character::kMaxDefinitionBytes - 12, '#'));
    EXPECT_EQ(Activate(), S_OK);
}

TEST_F(ProviderTest, FailureTextReachesTheCallerOfRaiseCallFailure) {
    WriteFile("Name=Tobin\nState=Resting:Nap\n", {u"Idle"});
    const HRESULT hr = Activate();
    ASSERT_TRUE(FAILED(hr));
    try {
        RaiseCallFailure("ActivateObject", hr);
        FAIL();
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(),
                     "ActivateObject: Character definition, line 2: the state \"Resting\" names "
                     "the animation \"Nap\", which the file does not hold");
    }
}

// A character file cut short is refused as truncated or damaged, wherever the cut lies: its
// definition is never read with zeros in place of what was lost, and a file whose animations
// (never read on activation) are cut is not taken for a whole one.
TEST_F(ProviderTest, ATruncatedFileIsRefusedAsSuch) {
    auto writeCut = [&](const std::string& definition, std::size_t animationSize, std::size_t cutBytes) {
        CompoundFileWriter writer;
        writer.AddStream(CompoundFileWriter::kRoot, u"Character", definition);
        writer.AddStream(CompoundFileWriter::kRoot, u"Wave", std::string(animationSize, 'w'));
        std::string bytes = writer.SaveToBytes();
        bytes.resize(bytes.size() - cutBytes);
        WriteFileAtomically(path_, bytes);
    };
    const std::string definition = "Name=Tobin\n";
    // Inside a large animation, whole sectors lost: refused when the file is opened.
    writeCut(definition, 20000, 2000);
    EXPECT_EQ(Open(), STG_E_READFAULT);
    EXPECT_NE(Description().find("the file is truncated or damaged (the file is truncated: the sector chain of "
                                 "stream \"Wave\" reaches sector"),
              std::string::npos);

    // Inside a large definition that fills its last sector, that sector's last byte lost.
    const std::string longDefinition = definition + std::string(12 * 512 - definition.size() - 1, '#') + "\n";
    writeCut(longDefinition, 10, 1);
    EXPECT_EQ(Open(), STG_E_READFAULT);
    EXPECT_NE(Description().find("the file is truncated or damaged (the file is truncated: the data of stream "
                                 "\"Character\" needs 512 bytes of sector"),
              std::string::npos);

    // The same file whole activates.
    writeCut(longDefinition, 10, 0);
    EXPECT_EQ(Activate(), S_OK);

    // Inside the last animation's data, which activation never reads: the animation ends 392
    // bytes into its last sector, and the writer pads that sector out.
    writeCut(definition, 10 * 512 - 120, 120 + 1);
    EXPECT_EQ(Open(), STG_E_READFAULT);
    EXPECT_NE(Description().find("the file is truncated or damaged (the file is truncated: the data of stream "
                                 "\"Wave\" needs 392 bytes of sector"),
              std::string::npos);
    // Cut after its last byte, only the padding is lost.
    writeCut(definition, 10 * 512 - 120, 120);
    EXPECT_EQ(Activate(), S_OK);
}

// Old writers of version 3 files left garbage in the high half of a stream's size.
TEST_F(ProviderTest, AVersion3SizeWithHighBitsSetIsReadByItsLowHalf) {
    CompoundFileWriter writer;
    const CompoundFileWriter::EntryId definition = writer.AddStream(CompoundFileWriter::kRoot, u"Character",
                                                                    "Name=Tobin\nState=Resting:Wave\n");
    writer.AddStream(CompoundFileWriter::kRoot, u"Wave", "frames");
    CfbPatch patch(writer.SaveToBytes());
    patch.SetEntry32(definition, cfb::entry::kStreamSize + 4, 0xDEADBEEF);
    WriteFileAtomically(path_, patch.Bytes());
    ASSERT_EQ(Activate(), S_OK) << Description();
    EXPECT_EQ(Name(), u"Tobin");
    EXPECT_EQ(State(u"Resting"), S_OK);
}

TEST_F(ProviderTest, OpeningAMissingFileFailsNamingIt) {
    std::filesystem::remove(path_);
    const HRESULT hr = Open();
    EXPECT_EQ(hr, STG_E_FILENOTFOUND);
    EXPECT_NE(Description().find("Cannot open the character file " + path_), std::string::npos);
}

TEST_F(ProviderTest, TheFileIsLetGoOnceActivated) {
    WriteFile("Name=Tobin\nState=Resting:Nap\n");
    auto openExclusively = [&] {
        ComPtr<IStorage> root;
        return StgOpenStorage(AnsiToWide(path_).c_str(), nullptr,
                              STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, root.Put());
    };
    ASSERT_EQ(Open(), S_OK);
    EXPECT_TRUE(FAILED(openExclusively()));  // held from OpenDocFile on
    ComPtr<IAgentDocFileObject> definition;
    ComPtr<IUnknown> second;
    ASSERT_EQ(docFile_->GetDocFileObjects(definition.Put(), second.Put()), S_OK);
    EXPECT_TRUE(FAILED(definition->ActivateObject()));
    EXPECT_EQ(openExclusively(), S_OK);

    // A later activation opens the file again.
    WriteFile("Name=Tobin\nState=Resting:Nap\n", {u"Nap"});
    EXPECT_EQ(definition->ActivateObject(), S_OK);
    EXPECT_EQ(openExclusively(), S_OK);
    ComPtr<IAgentCharacterProvider> fromSecond;
    EXPECT_EQ(second->QueryInterface(IID_IAgentCharacterProvider, fromSecond.PutVoid()), S_OK);
    EXPECT_EQ(fromSecond.Get(), character_.Get());
}

}  // namespace

namespace {

// The bundled sample: its name lists hold names the character has, in another case too, and
// names it has not.
TEST(SampleCharacter, LoadsAndMatchesItsNameLists) {
    const std::string samples = QUORVEL_SAMPLES_DIR;
    ComPtr<IStorage> root;
    ASSERT_EQ(StgOpenStorage(AnsiToWide(samples + "/Tobin.acs").c_str(), nullptr,
                             STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0, root.Put()),
              S_OK);
    const character::Character tobin = character::LoadCharacter(*root.Get());
    EXPECT_EQ(tobin.Name(), u"Tobin");
    auto count = [](const std::string& file, auto has) {
        LineList lines;
        lines.LoadFromFile(file);
        int valid = 0;
        for (const auto& line : lines.Lines()) valid += has(AnsiToWide(line)) ? 1 : 0;
        return std::pair(valid, lines.Count());
    };
    EXPECT_EQ(count(samples + "/AvailAnim.txt",
                    [&](const std::u16string& name) { return tobin.HasAnimation(name); }),
              std::pair(7, 9));
    EXPECT_EQ(count(samples + "/AvailState.txt",
                    [&](const std::u16string& name) { return tobin.HasState(name); }),
              std::pair(4, 6));
}

}  // namespace
