#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "errors.h"
#include "int_conversion.h"

#include "support/printing.h"
#include "support/test_models.h"

namespace jnx {
namespace {

struct Accepted {
    const char* text;
    std::int32_t value;
};

void PrintTo(const Accepted& accepted, std::ostream* out) {
    *out << '"' << test::Escaped(accepted.text) << "\" is " << accepted.value;
}

class StrToIntAccepts : public ::testing::TestWithParam<Accepted> {};

TEST_P(StrToIntAccepts, GivesTheValue) {
    EXPECT_EQ(StrToInt(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntAccepts,
                         ::testing::Values(
                             // Decimal, with the blanks and signs allowed before it.
                             Accepted{"0", 0}, Accepted{"7", 7}, Accepted{"012", 12},
                             Accepted{"   5", 5}, Accepted{"+5", 5}, Accepted{"-5", -5},
                             Accepted{" -0", 0}, Accepted{"2147483647", 2147483647},
                             Accepted{"-2147483648", INT32_MIN},
                             Accepted{"00000000000000000042", 42},
                             // Hexadecimal after each of its prefixes, letters in either case.
                             Accepted{"$10", 16}, Accepted{"x1f", 31}, Accepted{"X1F", 31},
                             Accepted{"0x10", 16}, Accepted{"0XaB", 171},
                             Accepted{"$7FFFFFFF", 2147483647}, Accepted{"$000000001", 1},
                             // Eight digits are a two's-complement value.
                             Accepted{"$80000000", INT32_MIN}, Accepted{"$FFFFFFFF", -1},
                             // A sign before a hexadecimal number applies to it.
                             Accepted{"+$10", 16}, Accepted{"-$10", -16}, Accepted{"-$FFFFFFFF", 1},
                             Accepted{"  -0x7FFFFFFF", -2147483647}));

// A text that is no integer.
struct Rejected {
    std::string text;
};

void PrintTo(const Rejected& r, std::ostream* out) {
    *out << "'" << test::Escaped(r.text) << "'";
}

class StrToIntRejects : public ::testing::TestWithParam<Rejected> {};

TEST_P(StrToIntRejects, NamesTheWholeTextInTheMessage) {
    const std::string& text = GetParam().text;
    try {
        StrToInt(text);
        FAIL() << "accepted '" << text << "'";
    } catch (const ConversionError& error) {
        EXPECT_EQ(error.message(), "'" + text + "'" + test::kNotAnInteger);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StrToIntRejects,
    ::testing::Values(Rejected{""}, Rejected{" "}, Rejected{"   "}, Rejected{"+"}, Rejected{"-"},
                      Rejected{"$"}, Rejected{"x"}, Rejected{"0x"}, Rejected{"-$"}, Rejected{"5 "},
                      Rejected{"5x"}, Rejected{" 1 2"}, Rejected{"+-5"}, Rejected{"- 5"},
                      Rejected{"\t5"}, Rejected{"1.0"}, Rejected{"2147483648"},
                      Rejected{"-2147483649"}, Rejected{"99999999999999999999"},
                      Rejected{"$100000000"}, Rejected{"$FFFFFFFFF"}, Rejected{"-$80000000"},
                      Rejected{"0x1G"}, Rejected{"00x5"},
                      Rejected{"\x82\x50"},  // full-width digit one
                      Rejected{std::string("1\0"
                                           "2",
                                           3)}));

TEST(IntToStr, IsPlainDecimal) {
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(1000), "1000");
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
}

}  // namespace
}  // namespace jnx
