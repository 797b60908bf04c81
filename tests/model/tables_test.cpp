#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tables.h"

namespace jnx {
namespace {

TEST(Tables, GroupSectionsRunFromGroup0OverGroupAToGroupZ) {
    EXPECT_EQ(GroupSection(0), "Group0");
    EXPECT_EQ(GroupSection(9), "Group9");
    EXPECT_EQ(GroupSection(10), "GroupA");
    EXPECT_EQ(GroupSection(35), "GroupZ");
    std::set<std::string> distinct;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        distinct.insert(GroupSection(g));
    }
    EXPECT_EQ(distinct.size(), kGroupCount);
}

TEST(Tables, LookUpsGoBothWaysAndMatchBytesExactly) {
    for (const BetType& type : BetTypeCode) {
        EXPECT_EQ(BetTypeNameByCode(type.code), type.name);
        EXPECT_EQ(BetTypeCodeByName(type.name), type.code);
    }
    for (int number = 1; number <= 10; ++number) {
        EXPECT_EQ(CourseNumberByName(*CourseNameByNumber(number)), number);
    }
    EXPECT_EQ(BetTypeNameByCode("W"), "\x98\x67\x98\x41");  // 枠連
    EXPECT_EQ(CourseNameByNumber(8), "\x8B\x9E\x93\x73");   // 京都

    // Letter case, width and spelling all count.
    EXPECT_FALSE(BetTypeNameByCode("t"));
    EXPECT_FALSE(BetTypeNameByCode(" T"));
    EXPECT_FALSE(BetTypeCodeByName("\xB2\xC4\xDE"));        // ﾜｲﾄﾞ, half-width
    EXPECT_FALSE(CourseNumberByName("\x8B\x9E\x93\x73 "));  // 京都 and a blank
    EXPECT_FALSE(CourseNumberByName("\x8B\x9E"));           // 京 alone
    EXPECT_FALSE(CourseNumberByName(""));
}

TEST(Tables, CourseNumbersOutsideTheTableHaveNoName) {
    for (long long number : {0LL, -1LL, 11LL, 2147483647LL, -2147483648LL}) {
        EXPECT_FALSE(CourseNameByNumber(number)) << number;
    }
}

}  // namespace
}  // namespace jnx
