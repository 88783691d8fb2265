#include "error.h"

void RaiseFailure(const std::string& what, HRESULT hr) { throw Error(DescribeFailure(what, hr)); }

HRESULT CheckResult(HRESULT hr, const std::string& what) {
    if (FAILED(hr)) RaiseFailure(what, hr);
    return hr;
}
