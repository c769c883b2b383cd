#include "command_line_glue.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(NumberReaders, AcceptWholeDecimalNumbersWithinTheirRange) {
    const struct {
        const char* text;
        int64_t value;
    } accepted[] = {{"0", 0}, {"9", 9}, {"+7", 7}, {"-1000", -1000}, {"010", 10}, {"1000", 1000}};
    for (const auto& c : accepted) EXPECT_EQ(readWholeNumber(c.text, -1000, 1000, "--n"), c.value) << c.text;
    const int64_t most = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(readWholeNumber("9223372036854775807", 0, most, "--n"), most);

    for (const char* text : {"", "256abc", "1.0", "0x10", " 5", "5 ", "--5", "+", "1001", "-1001",
                             "99999999999999999999", "1e3"}) {
        EXPECT_THROW(readWholeNumber(text, -1000, 1000, "--n"), CLI::ValidationError) << text;
    }
}

TEST(NumberReaders, AcceptFiniteNumbersWithinTheirRange) {
    const NumberRange upTo40{0.0, 40.0, true};
    EXPECT_EQ(readNumber("0.3", upTo40, "--x"), 0.3);
    EXPECT_EQ(readNumber("40", upTo40, "--x"), 40.0);
    EXPECT_EQ(readNumber("+2.5e1", upTo40, "--x"), 25.0);
    EXPECT_EQ(readNumber("1e-300", upTo40, "--x"), 1e-300);
    EXPECT_EQ(readNumber("0", {0.0, 1.0}, "--x"), 0.0) << "the low end counts unless excluded";

    for (const char* text : {"", "0", "-1", "40.5", "nan", "inf", "-inf", "1e999", "2x", "0x1p1", ".", "1,5"}) {
        EXPECT_THROW(readNumber(text, upTo40, "--x"), CLI::ValidationError) << text;
    }
}

TEST(NumberReaders, RefusalNamesTheOptionTheRangeAndTheText) {
    try {
        readWholeNumber("256abc", 1, 9, "--laps");
        FAIL() << "accepted";
    } catch (const CLI::ValidationError& e) {
        EXPECT_STREQ(e.what(), "--laps: needs a whole number from 1 to 9, not \"256abc\"");
    }
    try {
        readNumber("0", {0.0, std::numeric_limits<double>::max(), true}, "--width");
        FAIL() << "accepted";
    } catch (const CLI::ValidationError& e) {
        EXPECT_STREQ(e.what(), "--width: needs a number above 0, not \"0\"");
    }
}

}  // namespace
