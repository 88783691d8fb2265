// The nearest-name search against plain measures: the banded edit distance against the whole
// table, and the index against measuring every name.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tools/check/nearest_names.h"

namespace {

// The edit distance over the whole table: units replaced, added, left out, neighbours swapped.
std::size_t PlainDistance(std::u16string_view a, std::u16string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// Text of up to `longest` units drawn from the first `letters` letters: few letters make many
// names near each other.
std::u16string RandomText(std::mt19937& random, std::size_t longest, int letters) {
    std::u16string text(std::uniform_int_distribution<std::size_t>(0, longest)(random), u'a');
    std::uniform_int_distribution<int> letter(0, letters - 1);
    for (char16_t& unit : text) unit = static_cast<char16_t>(u'a' + letter(random));
    return text;
}

TEST(BoundedEditDistance, AgreesWithTheWholeTableWithinItsBound) {
    std::mt19937 random(7);
    BoundedEditDistance bounded;
    for (int round = 0; round < 20000; ++round) {
        const std::u16string a = RandomText(random, 9, 3), b = RandomText(random, 9, 3);
        const std::size_t plain = PlainDistance(a, b);
        for (std::size_t bound = 0; bound <= 4; ++bound)
            ASSERT_EQ(bounded(a, b, bound), std::min(plain, bound + 1))
                << std::string(a.begin(), a.end()) << " " << std::string(b.begin(), b.end()) << " " << bound;
    }
}

// The least distance from `key` within the bound for its length, at least one edit, and the
// first `most` names at it.
std::vector<std::size_t> NearestByMeasuringAll(const std::vector<std::u16string>& names, std::u16string_view key,
                                               std::size_t most) {
    std::vector<std::size_t> distances;
    for (const auto& name : names)
        distances.push_back(key.empty() || name.size() > NearestNames::kMaxLength ? 0 : PlainDistance(key, name));
    std::size_t least = std::numeric_limits<std::size_t>::max();
    for (const std::size_t d : distances)
        if (d >= 1 && d <= CloseBound(key.size())) least = std::min(least, d);
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < names.size() && found.size() < most; ++i)
        if (distances[i] == least) found.push_back(i);
    return found;
}

TEST(NearestNames, FindsWhatMeasuringEveryNameFinds) {
    std::mt19937 random(3);
    // Lengths that reach every bound, and a few letters, so that many names are near.
    for (const int letters : {2, 4, 26}) {
        std::vector<std::u16string> names;
        for (int i = 0; i < 300; ++i) names.push_back(RandomText(random, 15, letters));
        names.push_back(std::u16string(NearestNames::kMaxLength + 1, u'a'));
        NearestNames index({names.begin(), names.end()});
        for (int round = 0; round < 1500; ++round) {
            const std::u16string key = RandomText(random, 15, letters);
            std::size_t work = 0;
            const auto found = index.Find(key, 3, work, std::numeric_limits<std::size_t>::max());
            ASSERT_TRUE(found);
            ASSERT_EQ(*found, NearestByMeasuringAll(names, key, 3)) << std::string(key.begin(), key.end());
        }
    }
}

}  // namespace
