#include "error.h"

std::string MessageOf(const std::exception& e) {
    const auto* error = dynamic_cast<const Error*>(&e);
    return error ? error->Message() : e.what();
}

void RaiseFailure(const std::string& what, HRESULT hr) { throw Error(DescribeFailure(what, hr)); }

HRESULT CheckResult(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) RaiseFailure(what, hr);
    return hr;
}
