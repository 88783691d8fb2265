// Component services: initialisation, creation of in-process components through the component
// registry, and error information, with which a component says in words why a call failed.
//
// Registry: every "*.component" file in the search folders registers classes, one per
// `clsid={...}` line, served by the shared module of its `module=PATH` line (PATH relative to the
// file). Lines starting with '#' and unknown keys are ignored; a file that cannot be read, is
// larger than 64 KiB or has no module line is skipped. Folders are searched in order, files in
// name order; the first registration of a class wins. What a file says is kept in memory until
// the file changes (see com::RegistrationCache), so a rewritten registration counts from the
// next creation on. A module exports
//   extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
// and stays loaded for the life of the process, since objects it made may still be alive.
#pragma once

#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 1;

inline constexpr IID IID_IClassFactory = MakeGuid("{00000001-0000-0000-C000-000000000046}");
inline constexpr IID IID_IErrorInfo = MakeGuid("{1CF2B120-547D-101B-8E65-08002B2BD119}");
inline constexpr IID IID_ICreateErrorInfo = MakeGuid("{22F03340-547D-101B-8E65-08002B2BD119}");

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Why the last call on this thread failed, as the component put it.
struct IErrorInfo : IUnknown {
    // The description as a BSTR the caller frees; a null BSTR when there is none.
    virtual HRESULT GetDescription(BSTR* description) = 0;

protected:
    ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
    virtual HRESULT SetDescription(LPCWSTR description) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

using DllGetClassObjectFunction = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);

// Counted per thread: S_OK for the first call, S_FALSE for each further one; E_INVALIDARG when
// `reserved` is not null. Each successful call is matched by one OleUninitialize.
HRESULT OleInitialize(void* reserved);
void OleUninitialize();

// Creates an object of a registered class and asks it for `iid`. *object is null on failure:
// E_POINTER (no out slot), CO_E_NOTINITIALIZED (before OleInitialize), CLASS_E_NOAGGREGATION
// (an outer object), REGDB_E_CLASSNOTREG (not registered, or a context other than in-process),
// CO_E_DLLNOTFOUND (the module file is missing), CO_E_ERRORINDLL (the module cannot be loaded or
// exports no DllGetClassObject), or whatever the module's factory answers. The loader's reason
// is set as error information.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object);

// The folders searched for registrations. By default `components/` beside the running program,
// then `../lib/quorvel/components/` relative to it (the installed layout).
std::vector<std::string> DefaultComponentFolders();
// For tests: search these folders instead, until RestoreDefaultComponentFolders.
void SetComponentFolders(std::vector<std::string> folders);
void RestoreDefaultComponentFolders();

// The thread's error information. SetErrorInfo replaces it (null clears it); GetErrorInfo hands
// it over and clears it, S_FALSE with a null *info when there is none. `reserved` must be 0.
HRESULT SetErrorInfo(DWORD reserved, IErrorInfo* info);
HRESULT GetErrorInfo(DWORD reserved, IErrorInfo** info);
// A fresh error information object; set its description, then query it for IErrorInfo.
HRESULT CreateErrorInfo(ICreateErrorInfo** info);

// For components: makes `description` (8-bit text in the system code page) the thread's error
// information.
void SetErrorDescription(const std::string& description);

// For callers of a component, right after a call failed: the description of the thread's error
// information as 8-bit text, consumed; empty when there is none.
std::string TakeErrorDescription();

// For callers of a component, right after a call failed with `hr`: raises Error with
// "<what>: <description>" when the component set a description, DescribeFailure(what, hr)
// otherwise. The error information is consumed either way.
[[noreturn]] void RaiseCallFailure(const std::string& what, HRESULT hr);
