// The provider connection against test providers that fail at each step: the message or error,
// the references held afterwards, the character name, and whether validation then works.
#include <gtest/gtest.h>

#include "checking/provider_connection.h"
#include "checking/validation.h"
#include "platform/error.h"
#include "platform/files.h"
#include "tests/provider/test_components.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testcomponents;
using Lines = std::vector<std::string>;

struct Outcome {
    bool connected = false;
    std::string error;
};

class Connection : public ::testing::Test {
protected:
    Connection() { OleInitialize(nullptr); }
    ~Connection() override {
        link.Release();
        OleUninitialize();
    }
    Outcome Connect(const CLSID* behaviour) {
        if (behaviour) ServeAsProvider(folder, *behaviour);
        Outcome outcome;
        try {
            outcome.connected = InitDataProvider(link, name, charPath, prompts);
        } catch (const Error& e) {
            outcome.error = e.what();
        }
        return outcome;
    }
    bool ValidationWorks() {
        LineList names;
        names.Add("ok-wave");
        names.Add("nope");
        return VerifyNames(link.Character.Get(), names, NameKind::Animation).Lines() == Lines{"ok-wave"};
    }

    const std::string currentDir = GetCurrentDir();
    ComponentFolder folder;
    TempDir charDir;
    const std::string charPath = charDir.File("probe.acs");
    ProviderLink link;
    std::u16string name = u"stale";
    ScriptedPrompts prompts;
};

TEST_F(Connection, WorkingProviderOpensTheFullPathAndNamesTheCharacter) {
    const Outcome outcome = Connect(&kWorking);
    EXPECT_TRUE(outcome.connected) << outcome.error;
    EXPECT_EQ(name, u"Probe");
    EXPECT_EQ(LastOpenedPath(), std::u16string(charPath.begin(), charPath.end()));
    EXPECT_EQ(GetCurrentDir(), currentDir);
    EXPECT_TRUE(link.Provider && link.DocFile && link.Character);
    EXPECT_EQ(LiveTestObjects(), 1);  // the file's two objects were released
    EXPECT_TRUE(ValidationWorks());
    EXPECT_TRUE(prompts.shown.empty());
    link.Release();
    EXPECT_EQ(LiveTestObjects(), 0);
}

TEST_F(Connection, UnregisteredProviderHoldsNothing) {
    const Outcome outcome = Connect(nullptr);
    EXPECT_FALSE(outcome.connected);
    EXPECT_EQ(prompts.messages, Lines{"Error - Cannot connect to data provider."});
    EXPECT_FALSE(link.Provider || link.DocFile || link.Character);
    EXPECT_EQ(GetCurrentDir(), currentDir);
    EXPECT_FALSE(ValidationWorks());
}

TEST_F(Connection, MissingDocumentInterfaceHoldsOnlyTheProvider) {
    EXPECT_FALSE(Connect(&kNoDocFile).connected);
    EXPECT_EQ(prompts.messages, Lines{"Error - Cannot open DocFile."});
    EXPECT_TRUE(link.Provider);
    EXPECT_FALSE(link.DocFile || link.Character);
    EXPECT_FALSE(ValidationWorks());
}

TEST_F(Connection, MissingCharacterInterfaceHoldsProviderAndDocument) {
    EXPECT_FALSE(Connect(&kNoCharacter).connected);
    EXPECT_EQ(prompts.messages, Lines{"No CharacterProvider Interface Exists"});
    EXPECT_TRUE(link.Provider && link.DocFile);
    EXPECT_FALSE(link.Character);
    EXPECT_EQ(LiveTestObjects(), 1);
    EXPECT_FALSE(ValidationWorks());
}

TEST_F(Connection, FailedCallsRaiseErrorsAndReleaseTheFileObjects) {
    const struct {
        const CLSID* behaviour;
        std::string error;
    } cases[] = {
        {&kOpenDocFileFails, "Opening the character file failed: Unspecified error. (0x80004005)"},
        {&kGetDocFileObjectsFails, "Reading the character file's objects failed: Unspecified error. (0x80004005)"},
        {&kNullFirstObject, "Reading the character file's objects failed: Invalid pointer. (0x80004003)"},
        {&kActivateObjectFails, std::string("Loading the character failed: ") + kActivateFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        link.Release();
        name = u"stale";
        const Outcome outcome = Connect(c.behaviour);
        EXPECT_FALSE(outcome.connected);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_TRUE(link.Provider && link.DocFile);
        EXPECT_FALSE(link.Character);
        EXPECT_EQ(LiveTestObjects(), 1);
        EXPECT_EQ(name, u"stale");  // the name is read only after the character interface
        EXPECT_TRUE(prompts.messages.empty());
    }
}

TEST_F(Connection, FailedNameReadKeepsTheCharacterForValidation) {
    const Outcome outcome = Connect(&kGetCharacterNameFails);
    EXPECT_FALSE(outcome.connected);
    EXPECT_EQ(outcome.error, "Reading the character's name failed: Unspecified error. (0x80004005)");
    EXPECT_TRUE(link.Character);
    EXPECT_EQ(name, u"");
    EXPECT_TRUE(ValidationWorks());
}

}  // namespace
