// What the library says about itself: the version it was built as, and a
// text for every result code, taken from the one table of codes.
#include <limits>
#include <set>
#include <string>

#include "net_fixture.h"

namespace koru_test {
namespace {

struct TableEntry {
    const char* name;
    int value, enumerator;  // the header's KORU32_<name>
    const char* text;
};
#define KORU_TEST_ENTRY(name, value, text) {#name, value, KORU32_##name, text},
const std::vector<TableEntry> kTable = {KORU32_RESULT_CODES(KORU_TEST_ENTRY)};
#undef KORU_TEST_ENTRY

TEST(ResultCodes, EachCodeHasItsOwnTextAndEveryOtherValueTheGenericOne) {
    ASSERT_STREQ(kTable.front().name, "OK");
    std::set<std::string> texts;
    std::set<int> values;
    for (const TableEntry& entry : kTable) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.enumerator, entry.value);
        EXPECT_TRUE(values.empty() || entry.value > *values.rbegin());  // ascending from 0, hence distinct
        values.insert(entry.value);
        EXPECT_TRUE(texts.insert(entry.text).second && std::string(entry.text) != KORU32_UNKNOWN_RESULT_TEXT);
        const int16_t code = static_cast<int16_t>(entry.value);
        EXPECT_STREQ(GetResultText(&code), entry.text);
        EXPECT_EQ(GetResultText(&code), GetResultText(&code));  // one static text
    }
    EXPECT_EQ(*values.begin(), 0);
    for (int value = std::numeric_limits<int16_t>::min(); value <= std::numeric_limits<int16_t>::max(); ++value) {
        const int16_t code = static_cast<int16_t>(value);
        if (values.count(value) == 0) ASSERT_STREQ(GetResultText(&code), KORU32_UNKNOWN_RESULT_TEXT) << value;
    }
    EXPECT_STREQ(GetResultText(nullptr), KORU32_UNKNOWN_RESULT_TEXT);
}

TEST(LibraryVersion, LoadedLibraryMatchesTheHeaderItWasBuiltWith) {
    int32_t number = -1;
    ASSERT_EQ(GetLibraryVersion(&number), KORU32_OK);
    EXPECT_EQ(number, KORU32_VERSION_MAJOR * 10000 + KORU32_VERSION_MINOR * 100 + KORU32_VERSION_PATCH);
    EXPECT_EQ(number, KORU32_VERSION_NUMBER);
    EXPECT_LT(std::max(KORU32_VERSION_MINOR, KORU32_VERSION_PATCH), 100);  // so the number orders releases
}

}  // namespace
}  // namespace koru_test
