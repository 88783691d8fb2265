// The Unicode normalization the hints compare names by, in a module of its own that the checker
// loads the first time a name needs it: ICU is large, and loading it with every run of the
// checker cost more than listing a file with one huge stream.
#include <unicode/unorm2.h>

#include <cstdint>

// Writes the composed (NFC) form of `length` units of `text` to `out`, which has room for
// `capacity` units. Returns the units written, or -1 when the text cannot be normalized or the
// form does not fit.
extern "C" __attribute__((visibility("default"))) std::int32_t quorvel_compose(const char16_t* text, std::int32_t length,
                                                                              char16_t* out, std::int32_t capacity) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) return -1;
    const std::int32_t written = unorm2_normalize(nfc, text, length, out, capacity, &status);
    return U_FAILURE(status) ? -1 : written;
}
