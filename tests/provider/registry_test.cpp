// Registration files and the loading of the modules they name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/codepage.h"
#include "platform/com/com.h"
#include "platform/com/registry.h"
#include "tests/provider/test_components.h"

namespace {

using namespace testcomponents;

TEST(Registration, ParsesClassesAndModule) {
    const auto parsed = com::ParseRegistration(
        "# comment\r\n\r\n  clsid = {B267F520-BDEE-4A3E-8E12-648DD2E97413}\r\n"
        "colour=blue\nmodule=lib/x.so\nclsid={7db4b4d2-53c8-42d0-bde2-5fa4175de0a2}");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->module, "lib/x.so");
    ASSERT_EQ(parsed->classes.size(), 2u);
    EXPECT_EQ(parsed->classes[1], kNoDocFile);
}

TEST(Registration, RefusesMalformedText) {
    for (const char* text : {"module=x.so\nclsid={B267F520}", "module=x.so\njust words",
                             "clsid={B267F520-BDEE-4A3E-8E12-648DD2E97413}",
                             "module=a.so\nmodule=b.so", "module=", ""})
        EXPECT_FALSE(com::ParseRegistration(text)) << text;
}

// A registration file in a folder of its own, rewritten in place, for a cache of its own.
class RegistrationCacheTest : public ::testing::Test {
protected:
    void Write(const std::string& module) const {
        folder_.Write("r.component", "clsid=" + FormatGuid(kUnregistered) + "\nmodule=" + module + "\n");
    }
    // Rewrites it with the same size and modification time as before.
    void RewriteKeepingSizeAndTime(const std::string& module) const {
        struct stat before {};
        ASSERT_EQ(::stat(Path().c_str(), &before), 0);
        Write(module);
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, Path().c_str(), times, 0), 0);
        struct stat after {};
        ASSERT_EQ(::stat(Path().c_str(), &after), 0);
        ASSERT_EQ(after.st_size, before.st_size);
        ASSERT_EQ(after.st_ino, before.st_ino);
    }
    // Writes it and reads it into `cache` once the file system's clock has moved on, so that
    // a cache that trusts at once keeps it.
    void WriteAndReadAfterATick(com::RegistrationCache& cache, const std::string& module) const {
        Write(module);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(Module(cache), Expected(module));
    }
    // The module the folder registers for kUnregistered (which no other file of it registers).
    std::string Module(com::RegistrationCache& cache) const {
        return cache.FindModule({folder_.Path()}, kUnregistered).value_or("(none)");
    }
    std::string Expected(const std::string& module) const {
        return (std::filesystem::path(folder_.Path()) / module).lexically_normal().string();
    }
    std::filesystem::path Path() const { return std::filesystem::path(folder_.Path()) / "r.component"; }

    ComponentFolder folder_;
};

TEST_F(RegistrationCacheTest, ARewriteIsSeenThoughSizeAndModificationTimeAreKept) {
    // Trusted at once, so that only the stamp can tell the rewrite; the clock moves past the
    // file system's tick before the rewrite.
    com::RegistrationCache cache(std::chrono::nanoseconds(0));
    WriteAndReadAfterATick(cache, "first.so");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    RewriteKeepingSizeAndTime("other.so");
    EXPECT_EQ(Module(cache), Expected("other.so"));
    EXPECT_EQ(Module(cache), Expected("other.so"));
}

TEST_F(RegistrationCacheTest, AFileChangedJustBeforeItWasReadIsReadAgain) {
    // Where the file system's clock ticks coarsely, both writes fall in one tick and the stamp
    // cannot tell them apart: the time of the read must.
    com::RegistrationCache cache;
    Write("first.so");
    EXPECT_EQ(Module(cache), Expected("first.so"));
    RewriteKeepingSizeAndTime("other.so");
    EXPECT_EQ(Module(cache), Expected("other.so"));
}

TEST_F(RegistrationCacheTest, RemovedReplacedAndSpoiltFilesAreSeen) {
    com::RegistrationCache cache(std::chrono::nanoseconds(0));
    WriteAndReadAfterATick(cache, "first.so");
    // Replaced by another file under the same name.
    folder_.Write("new.tmp", "clsid=" + FormatGuid(kUnregistered) + "\nmodule=third.so\n");
    std::filesystem::rename(std::filesystem::path(folder_.Path()) / "new.tmp", Path());
    EXPECT_EQ(Module(cache), Expected("third.so"));
    folder_.Write("r.component", "garbage\n");
    EXPECT_EQ(Module(cache), "(none)");
    std::filesystem::remove(Path());
    EXPECT_EQ(Module(cache), "(none)");
}

class LoadingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
    void TearDown() override { OleUninitialize(); }

    HRESULT Create(const CLSID& clsid) {
        ComPtr<IUnknown> object;
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                object.PutVoid());
    }
    std::string Description() {
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.Put()) != S_OK) return {};
        BstrHolder text;
        info->GetDescription(text.Put());
        return WideToAnsi(text.Text());
    }
};

TEST_F(LoadingTest, SkipsBadFilesAndFindsLaterOnes) {
    ComponentFolder folder;
    const std::string first = "module=/nowhere.so\nclsid=" + FormatGuid(kUnregistered) + "\n";
    folder.Write("a-huge.component", first + std::string(com::kMaxRegistrationBytes, '#'));
    folder.Write("b-malformed.component", first + "garbage\n");
    folder.Write("c-not-a-registration.txt", first);
    EXPECT_EQ(Create(kUnregistered), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(Create(kWorking), S_OK);
}

TEST_F(LoadingTest, ModulePathIsRelativeToTheRegistration) {
    ComponentFolder folder;
    const std::filesystem::path module = TestProvidersModule();
    const auto relative = std::filesystem::relative(module, folder.Path());
    folder.Write("test-providers.component",
                 "clsid=" + FormatGuid(kWorking) + "\nmodule=" + relative.string() + "\n");
    EXPECT_EQ(Create(kWorking), S_OK);
    folder.Write("test-providers.component", "clsid=" + FormatGuid(kWorking) + "\nmodule=" +
                                                 module.filename().string() + "\n");
    EXPECT_EQ(Create(kWorking), CO_E_DLLNOTFOUND);
    EXPECT_NE(Description().find("does not exist"), std::string::npos);
}

TEST_F(LoadingTest, ModulesThatCannotServeAreReported) {
    ComponentFolder folder;
    // A shared library without DllGetClassObject, and a file that is not a library at all.
    folder.Write("no-entry.component", "clsid=" + FormatGuid(kUnregistered) +
                                           "\nmodule=" + DataProviderModule() + "/../" +
                                           "libquorvel-platform.so\n");
    EXPECT_EQ(Create(kUnregistered), CO_E_ERRORINDLL);
    EXPECT_NE(Description().find("exports no DllGetClassObject"), std::string::npos);

    folder.Write("not-a-library.so", "text");
    folder.Write("no-entry.component",
                 "clsid=" + FormatGuid(kUnregistered) + "\nmodule=not-a-library.so\n");
    EXPECT_EQ(Create(kUnregistered), CO_E_ERRORINDLL);
    EXPECT_NE(Description().find("Cannot load the component module"), std::string::npos);
}

TEST_F(LoadingTest, TheModuleDecidesWhichClassesItServes) {
    ComponentFolder folder;
    folder.Write("wrong.component", "clsid=" + FormatGuid(kUnregistered) +
                                        "\nmodule=" + TestProvidersModule() + "\n");
    EXPECT_EQ(Create(kUnregistered), CLASS_E_CLASSNOTAVAILABLE);
}

TEST(DefaultFolders, AreBesideTheProgramThenTheInstalledLayout) {
    const auto folders = DefaultComponentFolders();
    ASSERT_EQ(folders.size(), 2u);
    const auto program = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    EXPECT_EQ(folders[0], (program / "components").string());
    EXPECT_EQ(folders[1], (program.parent_path() / "lib/quorvel/components").string());
}

}  // namespace
