// Test-only character providers and a registry folder for them. One module serves a class per
// behaviour; each class works like a provider except for the one thing its name says. Their
// character is named "Probe"; VerifyAnimation and VerifyState answer S_OK for names starting with
// "ok", S_FALSE for names starting with "maybe" and E_FAIL for any other name.
//
// Link the CMake target quorvel_test_components to use this header: it supplies the module
// paths and builds the modules first.
#pragma once

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/error.h"

namespace testcomponents {

// Registered nowhere.
inline constexpr CLSID kUnregistered = MakeGuid("{F76895F2-1487-494D-9CD8-1AA2631A4787}");
// Every call succeeds.
inline constexpr CLSID kWorking = MakeGuid("{B267F520-BDEE-4A3E-8E12-648DD2E97413}");
// The object offers no IAgentDocFileProvider.
inline constexpr CLSID kNoDocFile = MakeGuid("{7DB4B4D2-53C8-42D0-BDE2-5FA4175DE0A2}");
// The object offers no IAgentCharacterProvider.
inline constexpr CLSID kNoCharacter = MakeGuid("{4033E1B8-5C0F-4A69-8436-5274E40DB732}");
// One call fails, with E_FAIL and no error information unless said otherwise.
inline constexpr CLSID kOpenDocFileFails = MakeGuid("{03D8194D-40F0-4BC7-9827-4C4A03200CF7}");
inline constexpr CLSID kGetDocFileObjectsFails =
    MakeGuid("{DE884918-604D-4553-AB24-93A5FC4801E1}");
// GetDocFileObjects succeeds but hands out a null first object (and a real second one).
inline constexpr CLSID kNullFirstObject = MakeGuid("{7FB19FF4-E01C-4C26-8952-83C84033824F}");
// ActivateObject fails with the description kActivateFailure.
inline constexpr CLSID kActivateObjectFails = MakeGuid("{546F10A4-7544-4C6C-88DE-17A94F9E356B}");
inline constexpr CLSID kGetCharacterNameFails =
    MakeGuid("{C176DF89-3058-4DFF-82A0-DF1FBB89F245}");

inline constexpr const char* kCharacterName = "Probe";
inline constexpr const char* kActivateFailure = "Probe definition, line 3: the test says no";

inline const std::vector<CLSID>& TestClasses() {
    static const std::vector<CLSID> classes = {
        kWorking,         kNoDocFile,           kNoCharacter,          kOpenDocFileFails,
        kGetDocFileObjectsFails, kNullFirstObject, kActivateObjectFails, kGetCharacterNameFails};
    return classes;
}

inline std::string TestProvidersModule() { return QUORVEL_TEST_PROVIDERS_MODULE; }
inline std::string DataProviderModule() { return QUORVEL_DATAPROVIDER_MODULE; }

// A temporary registry folder holding the test classes' registration (and the real provider's
// when asked); the registry searches only it while the object lives.
class ComponentFolder {
public:
    explicit ComponentFolder(bool withRealProvider = false) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorvel-components-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw Error("Cannot create a component folder");
        path_ = pattern;
        std::string test = "# test providers\nmodule=" + TestProvidersModule() + "\n";
        for (const auto& clsid : TestClasses()) test += "clsid=" + FormatGuid(clsid) + "\n";
        Write("test-providers.component", test);
        if (withRealProvider)
            Write("dataprovider.component",
                  "clsid={BB64DF2F-88E4-11D0-9E87-00C04FD7081F}\nmodule=" + DataProviderModule() +
                      "\n");
        SetComponentFolders({path_});
    }
    ComponentFolder(const ComponentFolder&) = delete;
    ComponentFolder& operator=(const ComponentFolder&) = delete;
    ~ComponentFolder() {
        RestoreDefaultComponentFolders();
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::string& Path() const { return path_; }

    // Adds or replaces a registration file in the folder.
    void Write(const std::string& fileName, const std::string& text) const {
        std::ofstream(std::filesystem::path(path_) / fileName, std::ios::binary) << text;
    }

private:
    std::string path_;
};

// What the test module reports about itself; it is loaded (once) on first use.
inline void* TestProvidersSymbol(const char* name) {
    static void* module = dlopen(TestProvidersModule().c_str(), RTLD_NOW);
    if (!module) throw Error("Cannot load the test providers");
    void* symbol = dlsym(module, name);
    if (!symbol) throw Error(std::string("The test providers lack ") + name);
    return symbol;
}

// Objects of the test classes alive now (providers and the objects of GetDocFileObjects).
inline long LiveTestObjects() {
    return reinterpret_cast<long (*)()>(TestProvidersSymbol("QuorvelTestLiveObjects"))();
}

// Registers the test module under the real provider's class in `folder`, serving `behaviour`;
// for code that always creates the real provider.
inline void ServeAsProvider(const ComponentFolder& folder, const CLSID& behaviour) {
    folder.Write("as-provider.component",
                 "clsid={BB64DF2F-88E4-11D0-9E87-00C04FD7081F}\nmodule=" + TestProvidersModule() + "\n");
    reinterpret_cast<void (*)(const CLSID*)>(TestProvidersSymbol("QuorvelTestServeAsProvider"))(&behaviour);
}

// The names put to VerifyAnimation and VerifyState since the last ForgetAskedNames, in order.
inline std::vector<std::u16string> AskedNames() {
    auto count = reinterpret_cast<std::size_t (*)()>(TestProvidersSymbol("QuorvelTestAskedNameCount"));
    auto at = reinterpret_cast<const char16_t* (*)(std::size_t)>(TestProvidersSymbol("QuorvelTestAskedName"));
    std::vector<std::u16string> names;
    for (std::size_t i = 0; i < count(); ++i) names.emplace_back(at(i));
    return names;
}
inline void ForgetAskedNames() {
    reinterpret_cast<void (*)()>(TestProvidersSymbol("QuorvelTestForgetAskedNames"))();
}

// The path of the last OpenDocFile call on any test provider ("" before the first).
inline std::u16string LastOpenedPath() {
    return reinterpret_cast<const char16_t* (*)()>(TestProvidersSymbol("QuorvelTestLastOpenedPath"))();
}

}  // namespace testcomponents
