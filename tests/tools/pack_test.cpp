// The character builder refuses what the data provider would refuse, naming the file, and what
// it builds loads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dataprovider/loader.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "tools/pack/pack.h"
#include "tools/pack/unpack.h"

namespace {

namespace fs = std::filesystem;

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("quorvel-pack-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Put(const std::string& name, const std::string& content) {
        std::ofstream(folder_ / name, std::ios::binary) << content;
    }
    std::string Refusal() {
        try {
            pack::BuildCharacter(folder_.string());
        } catch (const Error& error) {
            return error.what();
        }
        return "(accepted)";
    }
    std::string File(const std::string& name) { return (folder_ / name).string(); }

    fs::path folder_;
};

TEST_F(PackTest, BuildsAFileTheProviderLoads) {
    Put("Character", "Name=Tobin\nState=Resting:idle,Blink\n");
    Put("Idle", std::string(5000, 'i'));
    Put("Blink", "b");
    Put(".hidden", "left out");
    fs::create_directory(folder_ / "sub");
    const std::string path = File("out.acs");
    pack::BuildCharacter(folder_.string()).SaveToFile(path);

    ComPtr<IStorage> root;
    ASSERT_EQ(StgOpenStorage(AnsiToWide(path).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                             nullptr, 0, root.Put()),
              S_OK);
    const character::Character loaded = character::LoadCharacter(*root.Get());
    EXPECT_EQ(loaded.Name(), u"Tobin");
    EXPECT_TRUE(loaded.HasAnimation(u"IDLE"));
    EXPECT_TRUE(loaded.HasState(u"resting"));
    EXPECT_FALSE(loaded.HasAnimation(u".hidden"));
    EXPECT_FALSE(loaded.HasAnimation(u"sub"));
}

TEST_F(PackTest, RefusalsNameTheFileAndLine) {
    EXPECT_EQ(Refusal(), File("Character") + ": there is no Character definition in the folder");

    Put("Character", "Name=Tobin\nState=Resting:Nap\n");
    EXPECT_EQ(Refusal(), File("Character") +
                             ": Character definition, line 2: the state \"Resting\" names the "
                             "animation \"Nap\", which the file does not hold");

    Put("Character", "Name=Tobin\n\nName=Again\n");
    EXPECT_EQ(Refusal(), File("Character") +
                             ": Character definition, line 3: a second Name line (the first is "
                             "line 1)");

    Put("Character", "Name=Tobin\n" + std::string(character::kMaxDefinitionBytes, '#'));
    EXPECT_EQ(Refusal(), File("Character") + ": the definition is larger than 1 MiB");
}

TEST_F(PackTest, RefusesAnimationNamesThatCannotBeStreams) {
    Put("Character", "Name=Tobin\n");
    const std::string tooLong(32, 'x');
    Put(tooLong, "");
    EXPECT_EQ(Refusal().rfind(File(tooLong) + ": ", 0), 0u) << Refusal();
    fs::remove(folder_ / tooLong);

    Put("CHARACTER", "");
    EXPECT_EQ(Refusal(), File("CHARACTER") + ": the name is taken by the Character definition");
    fs::remove(folder_ / "CHARACTER");

    Put("\x05Props", "");
    EXPECT_EQ(Refusal(),
              File("\x05Props") + ": an animation's name must not start with a control character");
    fs::remove(folder_ / "\x05Props");

    Put("Bad\xFF", "");
    EXPECT_EQ(Refusal(), File("Bad\xFF") + ": the file name is not valid UTF-8");
    fs::remove(folder_ / "Bad\xFF");

    Put("Wave", "");
    Put("wave", "");
    EXPECT_EQ(Refusal().rfind(File("wave") + ": ", 0), 0u) << Refusal();
}

// Mid-run, the folder being unpacked into is renamed away and a link to another folder, holding
// files of the same names, put in its place; then the run fails. Its clean-up removes its own
// files where they went and nothing of the other folder's, whether it made the folder or found it.
TEST_F(PackTest, AFailedUnpackRemovesOnlyWhatItMadeWhereverItsFolderWent) {
    Put("Character", "Name=Max\n");
    Put("Wave", "w");
    Put("Jump", "j");
    const std::string character = File("max.acs");
    pack::BuildCharacter(folder_.string()).SaveToFile(character);
    const fs::path other = folder_ / "other";
    for (const bool existing : {false, true}) {
        fs::create_directories(other);
        for (const char* name : {"Character", "Jump", "Wave"}) std::ofstream(other / name) << "theirs";
        const fs::path out = folder_ / "out", moved = folder_ / "moved";
        if (existing) fs::create_directory(out);
        const auto swap = [&](const std::string&) {
            fs::rename(out, moved);
            fs::create_directory_symlink(other, out);
            throw Error("stopped");
        };
        EXPECT_THROW(pack::UnpackCharacter(character, out.string(), swap), Error);
        for (const char* name : {"Character", "Jump", "Wave"}) {
            std::ifstream theirs(other / name);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), "theirs") << name << existing;
        }
        EXPECT_TRUE(fs::is_directory(moved));
        EXPECT_TRUE(fs::is_empty(moved));
        EXPECT_TRUE(fs::is_symlink(out));
        for (const fs::path& path : {out, moved, other}) fs::remove_all(path);
    }
    // A file of its own that someone else has replaced is theirs now, and stays.
    const fs::path out = folder_ / "out";
    const auto replace = [&](const std::string& name) {
        fs::rename(out / name, out / "ours");
        std::ofstream(out / name) << "theirs";
        throw Error("stopped");
    };
    EXPECT_THROW(pack::UnpackCharacter(character, out.string(), replace), Error);
    std::ifstream theirs(out / "Character");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), "theirs");
}

}  // namespace
