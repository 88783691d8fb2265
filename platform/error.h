// The one error type of the program: a failure that carries the message text shown to the user
// and the result code of its kind, which passes on through the component calls it fails.
#pragma once

#include <stdexcept>
#include <string>

#include "hresult.h"

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message, HRESULT code = E_FAIL)
        : std::runtime_error(message), message_(message), code_(code) {}
    // The whole message. what() is a C string: it ends at a NUL that a name from a file brought in.
    const std::string& Message() const { return message_; }
    // What kind of failure it is (STG_E_READFAULT for a truncated file, say); E_FAIL when no
    // code tells more.
    HRESULT Code() const { return code_; }

private:
    std::string message_;
    HRESULT code_;
};

// The whole message of any exception: an Error's own, NULs included; what() of any other.
std::string MessageOf(const std::exception& e);
// The code of any exception: an Error's own, E_OUTOFMEMORY for a failed allocation, E_FAIL else.
HRESULT CodeOf(const std::exception& e);

// Raises Error with DescribeFailure(what, hr).
[[noreturn]] void RaiseFailure(const std::string& what, HRESULT hr);

// Raises Error with DescribeFailure(what, hr) when hr is a failure code; returns hr otherwise.
HRESULT CheckResult(HRESULT hr, const std::string& what);
