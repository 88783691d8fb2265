// The platform's text services: line lists, code-page conversion, BSTRs, GUIDs and paths; and the
// tests' own temporary folders, which every other test stands on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "platform/bstr.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/linelist.h"
#include "platform/name_hash.h"
#include "platform/name_list.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<std::string> Split(std::string_view text) {
    LineList list;
    list.SetText(text);
    return list.Lines();
}

TEST(LineList, SplitsAtEveryKindOfLineBreak) {
    EXPECT_EQ(Split("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(Split("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Split("a\r\r\nb"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Split("\n\r"), (std::vector<std::string>{"", ""}));
}

TEST(LineList, FinalBreakAddsNoLineAndNulEndsTheText) {
    EXPECT_EQ(Split("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Split("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(Split("last line"), (std::vector<std::string>{"last line"}));
    EXPECT_EQ(Split(""), std::vector<std::string>{});
    EXPECT_EQ(Split(std::string_view("a\nb\0c\nd", 7)), (std::vector<std::string>{"a", "b"}));
}

TEST(LineList, SavesEveryLineWithCrLfAndLoadsItBack) {
    TempDir dir;
    LineList list;
    list.Add("Wave");
    list.Add("");
    list.Add("Bow");
    list.SaveToFile(dir.File("out.txt"));
    EXPECT_EQ(ReadWholeFile(dir.File("out.txt")), "Wave\r\n\r\nBow\r\n");
    LineList loaded;
    loaded.LoadFromFile(dir.File("out.txt"));
    EXPECT_EQ(loaded, list);
}

TEST(LineList, ErrorsNameTheFile) {
    TempDir dir;
    LineList list;
    try {
        list.LoadFromFile(dir.File("missing.txt"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
    }
    list.Add("x");
    EXPECT_THROW(list.SaveToFile(dir.File("no-such-dir/out.txt")), Error);
}

TEST(NameList, KeepsEveryNameAsGivenEmptyOnesIncluded) {
    NameList names(std::vector<std::u16string>{u"Wave", u"", u"\u00C9cho"});
    names.Add(u"Blink");
    names.Add(u"");
    ASSERT_EQ(names.Size(), 5u);
    const std::vector<std::u16string_view> expected{u"Wave", u"", u"\u00C9cho", u"Blink", u""};
    for (std::size_t i = 0; i < names.Size(); ++i) EXPECT_EQ(names[i], expected[i]) << i;
    EXPECT_EQ(NameList().Size(), 0u);
}

TEST(WriteFileAtomically, ReplacesAndLeavesNoTemporaryBehind) {
    TempDir dir;
    WriteFileAtomically(dir.File("f.txt"), "old");
    WriteFileAtomically(dir.File("f.txt"), "new");
    EXPECT_EQ(ReadWholeFile(dir.File("f.txt")), "new");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

// A TMPDIR where nobody may create anything (not even root: /proc) fails the test that asked for
// a folder, naming the folder and the reason; a usable one gives a folder that goes with the test.
TEST(TempDir, RefusesAnUnusableTemporaryFolderAndCleansUpAfterAUsableOne) {
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    ASSERT_EQ(::setenv("TMPDIR", "/proc", 1), 0);
    std::string refusal = "(no error)";
    try {
        TempDir unusable;
    } catch (const Error& error) {
        refusal = error.what();
    }
    saved ? ::setenv("TMPDIR", previous.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(refusal.rfind("Cannot create a temporary folder in /proc: ", 0), 0u) << refusal;

    std::string made;
    {
        TempDir usable;
        made = usable.Path();
        EXPECT_TRUE(std::filesystem::is_directory(made));
        WriteFileAtomically(usable.File("left.txt"), "x");
    }
    EXPECT_FALSE(std::filesystem::exists(made));
}

TEST(CodePage, RoundTripsUtf8AndReplacesWhatCannotBeRepresented) {
    EXPECT_EQ(AnsiToWide("Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80"), u"Grüße 😀");
    EXPECT_EQ(WideToAnsi(u"Grüße 😀"), "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80");
    EXPECT_EQ(AnsiToWide("a\xFF" "b\xC3"), u"a?b?");
    EXPECT_EQ(AnsiToWide("\xE2\x82z"), u"?z");  // truncated sequence, next character kept
    EXPECT_EQ(AnsiToWide("\xED\xA0\x80"), u"?");  // an encoded surrogate is not UTF-8
    const char16_t lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(WideToAnsi(lone), "x?y");
    EXPECT_EQ(AnsiToWide(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// File names are bytes: every byte string comes back unchanged, UTF-8 converts as text, and a
// lone surrogate from elsewhere is no file name's.
TEST(CodePage, PathsRoundTripAnyBytes) {
    for (const std::string path : {"/tmp/p\xFF.acs", "\xED\xA0\x80\xC3", "a\xE2\x82z", "\xF0\x9F\x98\x80\x80",
                                   "Gr\xC3\xBC\xC3\x9F" "e", "\xC3\xA9\xDC"})
        EXPECT_EQ(WideToPath(PathToWide(path)), path);
    EXPECT_EQ(PathToWide("Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80"), u"Grüße 😀");
    EXPECT_EQ(PathToWide("p\xFF"), (std::u16string{u'p', 0xDCFF}));
    const char16_t unpaired[] = {u'x', 0xD800, u'y', 0xDC41, 0};
    EXPECT_EQ(WideToPath(unpaired), "x?y?");
}

TEST(CodePage, WindowsStyleCallsCountAndRefuseSmallBuffers) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    char16_t wide[2];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 2), 0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"é", 1, nullptr, 0, nullptr, nullptr), 2);
    BOOL usedDefault = 0;
    char text[8] = {};
    const char16_t lone[] = {0xDC00, 0};
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone, -1, text, 8, nullptr, &usedDefault), 2);
    EXPECT_STREQ(text, "?");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(lstrlenW(u"four"), 4);
    EXPECT_EQ(lstrlenW(nullptr), 0);
}

TEST(Bstr, KeepsLengthAndTreatsNullAsEmpty) {
    BSTR text = SysAllocStringLen(u"a\0b", 3);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(BstrToString(text), std::u16string(u"a\0b", 3));
    SysFreeString(text);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(BstrToString(nullptr), u"");
    EXPECT_EQ(AllocBstr(u""), nullptr);
}

TEST(Bstr, ReusedForOneTextAfterAnotherKeepsEachLengthAndTerminator) {
    ReusedBstr reused;
    auto holds = [](BSTR text, std::u16string_view expected) {
        EXPECT_EQ(SysStringLen(text), expected.size());
        EXPECT_EQ(BstrView(text), expected);
        EXPECT_EQ(text[expected.size()], u'\0');
    };
    holds(reused.SetAscii("Somersault"), u"Somersault");
    holds(reused.SetAscii("Wave"), u"Wave");  // shorter, in the same room
    holds(reused.Set(u"Caf\u00E9"), u"Caf\u00E9");
    holds(reused.SetAscii("A much longer name than any before"), u"A much longer name than any before");
    holds(reused.SetAscii("x"), u"x");
    EXPECT_EQ(reused.SetAscii(""), nullptr);
    EXPECT_EQ(reused.Set(u""), nullptr);
    holds(reused.Set(u"Bow"), u"Bow");
}

// SipHash-2-4's published vectors (key 00..0F, messages 00, 00 01, ...), and a process key that
// is not the zero key a forgotten draw would leave.
TEST(NameHash, IsSipHashUnderAKeyOfTheProcessOwn) {
    const HashKey key{0x0706050403020100ull, 0x0F0E0D0C0B0A0908ull};
    unsigned char message[16];
    for (unsigned char i = 0; i < 16; ++i) message[i] = i;
    EXPECT_EQ(SipHash24(key, message, 0), 0x726FDB47DD0E0E31ull);
    EXPECT_EQ(SipHash24(key, message, 8), 0x93F5F5799A932462ull);
    EXPECT_EQ(SipHash24(key, message, 15), 0xA129CA6149BE45E5ull);
    const std::u16string name = u"Wave";
    EXPECT_NE(HashUnits(name), SipHash24(HashKey{0, 0}, name.data(), 2 * name.size()));
}

TEST(Guid, ParsesAndFormatsTheBracedForm) {
    const auto parsed = ParseGuid("{bb64df2f-88e4-11d0-9e87-00c04fd7081f}");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, MakeGuid("{BB64DF2F-88E4-11D0-9E87-00C04FD7081F}"));
    EXPECT_EQ(FormatGuid(*parsed), "{BB64DF2F-88E4-11D0-9E87-00C04FD7081F}");
    EXPECT_FALSE(ParseGuid("BB64DF2F-88E4-11D0-9E87-00C04FD7081F"));
    EXPECT_FALSE(ParseGuid("{BB64DF2F-88E4-11D0-9E87-00C04FD7081G}"));
    EXPECT_FALSE(ParseGuid("{BB64DF2F+88E4-11D0-9E87-00C04FD7081F}"));
}

TEST(Paths, ExpandAndSplit) {
    TempDir dir;
    ChangeDir(dir.Path());
    const std::string here = GetCurrentDir();
    EXPECT_EQ(ExpandFileName("Quorvel.exe"), here + "/Quorvel.exe");
    EXPECT_EQ(ExpandFileName("/a/./b//c/../d"), "/a/b/d");
    EXPECT_EQ(ExpandFileName("/.."), "/");
    EXPECT_EQ(ExtractFilePath("/a/b/c.acs"), "/a/b/");
    EXPECT_EQ(ExtractFilePath("c.acs"), "");
    EXPECT_EQ(ExtractFileName("/a/b/c.acs"), "c.acs");
    EXPECT_FALSE(FileExists(here));  // a directory is not a file
    EXPECT_THROW(ChangeDir(dir.File("missing")), Error);
}

TEST(Results, FailuresCarryMessageAndCode) {
    EXPECT_EQ(DescribeFailure("Opening x failed", STG_E_DOCFILECORRUPT),
              "Opening x failed: The docfile has been corrupted. (0x80030109)");
    EXPECT_EQ(HResultMessage(MakeHResult(0x80001234)), "Unknown error");
    EXPECT_THROW(CheckResult(E_FAIL, "x"), Error);
    EXPECT_EQ(CheckResult(S_FALSE, "x"), S_FALSE);
}

}  // namespace
