#include "hresult.h"

#include <cstdio>

namespace {

struct MessageRow {
    HRESULT code;
    const char* text;
};

// Texts follow the usual wording of these codes; inserts such as a file name are left out because
// the caller's "what" already names the object.
constexpr MessageRow kMessages[] = {
    {S_OK, "The operation completed successfully."},
    {S_FALSE, "The operation completed without a result."},
    {E_NOTIMPL, "Not implemented."},
    {E_NOINTERFACE, "No such interface supported."},
    {E_POINTER, "Invalid pointer."},
    {E_FAIL, "Unspecified error."},
    {E_UNEXPECTED, "Catastrophic failure."},
    {E_ACCESSDENIED, "Access is denied."},
    {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, "The parameter is incorrect."},
    {E_INVALIDDATA, "The data is invalid."},
    {E_DIRECTORY, "The name is that of a folder, not a file."},
    {CLASS_E_NOAGGREGATION, "Class does not support aggregation."},
    {CLASS_E_CLASSNOTAVAILABLE, "The component does not offer the requested class."},
    {REGDB_E_CLASSNOTREG, "Class not registered."},
    {CO_E_NOTINITIALIZED, "The component services have not been initialised."},
    {CO_E_DLLNOTFOUND, "The component's module could not be found."},
    {CO_E_ERRORINDLL, "The component's module could not be loaded."},
    {STG_E_INVALIDFUNCTION, "Unable to perform requested operation."},
    {STG_E_FILENOTFOUND, "The file could not be found."},
    {STG_E_PATHNOTFOUND, "The path could not be found."},
    {STG_E_TOOMANYOPENFILES, "There are insufficient resources to open another file."},
    {STG_E_ACCESSDENIED, "Access Denied."},
    {STG_E_INVALIDHANDLE, "Attempted an operation on an invalid object."},
    {STG_E_INSUFFICIENTMEMORY, "There is insufficient memory available to complete operation."},
    {STG_E_INVALIDPOINTER, "Invalid pointer error."},
    {STG_E_NOMOREFILES, "There are no more entries to return."},
    {STG_E_SEEKERROR, "An error occurred during a seek operation."},
    {STG_E_WRITEFAULT, "A disk error occurred during a write operation."},
    {STG_E_READFAULT, "A disk error occurred during a read operation."},
    {STG_E_SHAREVIOLATION, "A share violation has occurred."},
    {STG_E_LOCKVIOLATION, "A lock violation has occurred."},
    {STG_E_FILEALREADYEXISTS, "The file is not a compound file."},
    {STG_E_INVALIDPARAMETER, "Invalid parameter error."},
    {STG_E_MEDIUMFULL, "There is insufficient disk space to complete operation."},
    {STG_E_INVALIDHEADER, "The file is not a valid compound file."},
    {STG_E_INVALIDNAME, "The name is not valid."},
    {STG_E_INVALIDFLAG, "Invalid flag error."},
    {STG_E_REVERTED, "Attempted to use an object that has ceased to exist."},
    {STG_E_OLDFORMAT, "The compound file was produced with an incompatible version of storage."},
    {STG_E_DOCFILECORRUPT, "The docfile has been corrupted."},
    {STG_E_DOCFILETOOLARGE, "The compound file is too large for the current implementation."},
};

}  // namespace

std::string HResultMessage(HRESULT hr) {
    for (const auto& row : kMessages)
        if (row.code == hr) return row.text;
    return "Unknown error";
}

std::string HResultHex(HRESULT hr) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::string DescribeFailure(const std::string& what, HRESULT hr) {
    return what + ": " + HResultMessage(hr) + " (" + HResultHex(hr) + ")";
}
