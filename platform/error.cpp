#include "error.h"

#include <new>

std::string MessageOf(const std::exception& e) {
    const auto* error = dynamic_cast<const Error*>(&e);
    return error ? error->Message() : e.what();
}

HRESULT CodeOf(const std::exception& e) {
    if (const auto* error = dynamic_cast<const Error*>(&e)) return error->Code();
    return dynamic_cast<const std::bad_alloc*>(&e) ? E_OUTOFMEMORY : E_FAIL;
}

void RaiseFailure(const std::string& what, HRESULT hr) { throw Error(DescribeFailure(what, hr), hr); }

HRESULT CheckResult(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) RaiseFailure(what, hr);
    return hr;
}
