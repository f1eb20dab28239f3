// What the library says about itself: the version it was built as, and a
// text for every result code, taken from the one table of codes.
#include <koru32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace koru_test {
namespace {

struct TableEntry {
    const char* name;
    int value;
    int enumerator;  // the header's KORU32_<name>
    const char* text;
};

#define KORU_TEST_ENTRY(name, value, text) {#name, value, KORU32_##name, text},
const std::vector<TableEntry> kTable = {KORU32_RESULT_CODES(KORU_TEST_ENTRY)};
#undef KORU_TEST_ENTRY

bool InTable(int value) {
    for (const TableEntry& entry : kTable) {
        if (entry.value == value) return true;
    }
    return false;
}

TEST(ResultCodes, TableHasDistinctAscendingCodesWithDistinctTexts) {
    ASSERT_FALSE(kTable.empty());
    EXPECT_STREQ(kTable.front().name, "OK");
    EXPECT_EQ(kTable.front().value, 0);
    std::set<std::string> names, texts;
    for (size_t i = 0; i < kTable.size(); ++i) {
        const TableEntry& entry = kTable[i];
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.enumerator, entry.value);
        EXPECT_GE(entry.value, 0);
        EXPECT_LE(entry.value, std::numeric_limits<int16_t>::max());
        if (i > 0) {
            EXPECT_GT(entry.value, kTable[i - 1].value);  // ascending, hence distinct
        }
        EXPECT_GT(std::strlen(entry.text), 0u);
        EXPECT_TRUE(names.insert(entry.name).second) << "name used twice";
        EXPECT_TRUE(texts.insert(entry.text).second) << "text used twice";
    }
    EXPECT_EQ(texts.count(KORU32_UNKNOWN_RESULT_TEXT), 0u) << "a code reads as unknown";
}

TEST(ResultCodes, GetResultTextGivesEachCodeItsTableText) {
    for (const TableEntry& entry : kTable) {
        const int16_t code = static_cast<int16_t>(entry.value);
        const char* text = GetResultText(&code);
        ASSERT_NE(text, nullptr) << entry.name;
        EXPECT_STREQ(text, entry.text) << entry.name;
        EXPECT_EQ(GetResultText(&code), text) << entry.name << ": not one static text";
    }
}

TEST(ResultCodes, EveryOtherValueAndANullAddressGetTheGenericText) {
    int unknown = 0;
    for (int value = std::numeric_limits<int16_t>::min(); value <= std::numeric_limits<int16_t>::max(); ++value) {
        if (InTable(value)) continue;
        const int16_t code = static_cast<int16_t>(value);
        const char* text = GetResultText(&code);
        ASSERT_NE(text, nullptr) << value;
        ASSERT_STREQ(text, KORU32_UNKNOWN_RESULT_TEXT) << value;
        ++unknown;
    }
    EXPECT_EQ(unknown + kTable.size(), 65536u);
    ASSERT_NE(GetResultText(nullptr), nullptr);
    EXPECT_STREQ(GetResultText(nullptr), KORU32_UNKNOWN_RESULT_TEXT);
}

TEST(LibraryVersion, LoadedLibraryMatchesTheHeaderItWasBuiltWith) {
    int32_t number = -1;
    ASSERT_EQ(GetLibraryVersion(&number), KORU32_OK);
    EXPECT_EQ(number, KORU32_VERSION_MAJOR * 10000 + KORU32_VERSION_MINOR * 100 + KORU32_VERSION_PATCH);
    EXPECT_EQ(number, KORU32_VERSION_NUMBER);
    // Each part keeps to its two decimal places, so the number orders releases.
    EXPECT_LT(KORU32_VERSION_MINOR, 100);
    EXPECT_LT(KORU32_VERSION_PATCH, 100);
}

}  // namespace
}  // namespace koru_test
