// Initialisation and creation of in-process components.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>

#include "platform/com/com.h"
#include "platform/com/registry.h"

namespace {

thread_local int initialiseCount = 0;

std::mutex stateMutex;
std::optional<std::vector<std::string>> folderOverride;
// Loaded modules by path. They are never unloaded: objects they made may still be alive.
std::map<std::string, DllGetClassObjectFunction> loadedModules;

std::string RunningProgramFolder() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::filesystem::current_path(error).string();
    return program.parent_path().string();
}

// The module's DllGetClassObject, loading it on first use; null with error information set when
// that fails.
DllGetClassObjectFunction LoadModule(const std::string& path, HRESULT& failure) {
    const auto known = loadedModules.find(path);
    if (known != loadedModules.end()) return known->second;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        SetErrorDescription("The component module " + path + " does not exist");
        failure = CO_E_DLLNOTFOUND;
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        SetErrorDescription("Cannot load the component module " + path + ": " +
                            (why ? why : "unknown reason"));
        failure = CO_E_ERRORINDLL;
        return nullptr;
    }
    auto entry = reinterpret_cast<DllGetClassObjectFunction>(::dlsym(handle, "DllGetClassObject"));
    if (!entry) {
        SetErrorDescription("The component module " + path + " exports no DllGetClassObject");
        failure = CO_E_ERRORINDLL;
        return nullptr;
    }
    loadedModules.emplace(path, entry);
    return entry;
}

}  // namespace

HRESULT OleInitialize(void* reserved) {
    if (reserved) return E_INVALIDARG;
    return ++initialiseCount == 1 ? S_OK : S_FALSE;
}

void OleUninitialize() {
    if (initialiseCount > 0) --initialiseCount;
}

std::vector<std::string> DefaultComponentFolders() {
    const std::filesystem::path program = RunningProgramFolder();
    return {(program / "components").string(),
            (program / ".." / "lib" / "quorvel" / "components").lexically_normal().string()};
}

void SetComponentFolders(std::vector<std::string> folders) {
    std::lock_guard lock(stateMutex);
    folderOverride = std::move(folders);
}

void RestoreDefaultComponentFolders() {
    std::lock_guard lock(stateMutex);
    folderOverride.reset();
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (initialiseCount == 0) return CO_E_NOTINITIALIZED;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;

    DllGetClassObjectFunction entry = nullptr;
    {
        std::lock_guard lock(stateMutex);
        static com::RegistrationCache registrations;
        const auto module = registrations.FindModule(folderOverride ? *folderOverride : DefaultComponentFolders(), clsid);
        if (!module) return REGDB_E_CLASSNOTREG;
        HRESULT failure = S_OK;
        entry = LoadModule(*module, failure);
        if (!entry) return failure;
    }

    ComPtr<IClassFactory> factory;
    HRESULT hr = entry(clsid, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr)) return hr;
    if (!factory) return E_UNEXPECTED;
    hr = factory->CreateInstance(nullptr, iid, object);
    if (FAILED(hr)) *object = nullptr;
    return hr;
}
