#include "format.h"

namespace cfb {

int CompareNames(std::u16string_view a, std::u16string_view b) { return CompareNameUnits(a, b); }

}  // namespace cfb
