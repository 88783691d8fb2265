#include "modules.h"

#include <dlfcn.h>

#include <string>

HMODULE LoadLibraryA(const char* fileName) {
    if (!fileName) return nullptr;
    std::string path = fileName;
    if (path.find('/') == std::string::npos && path.find('.') == std::string::npos) {
        path = "lib" + path + ".so";
        // The folder this library was loaded from, whatever the program's own search path says.
        Dl_info self;
        if (dladdr(reinterpret_cast<void*>(&LoadLibraryA), &self) && self.dli_fname) {
            const std::string library = self.dli_fname;
            const std::size_t slash = library.rfind('/');
            if (slash != std::string::npos) path = library.substr(0, slash + 1) + path;
        }
    }
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    if (!module || !procName) return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(module, procName));
}
