// What the library says about itself: the version it was built as, and a
// text for every result code, taken from the one table of codes.
#include <set>
#include <string>

#include "net_fixture.h"

namespace koru_test {
namespace {

const char* TextOf(int16_t code) { return GetResultText(&code); }

TEST(ResultCodes, EachCodeHasItsOwnTextAndEveryOtherValueTheGenericOne) {
    std::set<std::string> texts;
    std::set<int> values;
#define KORU_TEST_ENTRY(name, value, text)                                              \
    EXPECT_TRUE(values.insert(value).second && texts.insert(text).second) << #name;     \
    EXPECT_STREQ(TextOf(value), text);
    KORU32_RESULT_CODES(KORU_TEST_ENTRY)
#undef KORU_TEST_ENTRY
    EXPECT_EQ(texts.count(KORU32_UNKNOWN_RESULT_TEXT), 0u);
    for (int value = INT16_MIN; value <= INT16_MAX; ++value) {
        if (values.count(value) == 0) { ASSERT_STREQ(TextOf(int16_t(value)), KORU32_UNKNOWN_RESULT_TEXT) << value; }
    }
    EXPECT_STREQ(GetResultText(nullptr), KORU32_UNKNOWN_RESULT_TEXT);
}

TEST(LibraryVersion, LoadedLibraryMatchesTheHeaderItWasBuiltWith) {
    int32_t number = -1;
    ASSERT_EQ(GetLibraryVersion(&number), KORU32_OK);
    EXPECT_EQ(number, KORU32_VERSION_NUMBER);
}

}  // namespace
}  // namespace koru_test
