#include <gtest/gtest.h>

#include "registration/registration.h"

namespace patlink {
namespace {

struct DateCase {
  const char* text;
  Date expected;
};

class ParseBirthDateValid : public testing::TestWithParam<DateCase> {};

TEST_P(ParseBirthDateValid, ReadsDayMonthYear) {
  EXPECT_EQ(ParseBirthDate(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseBirthDateValid,
    testing::Values(DateCase{"05031950", {1950, 3, 5}}, DateCase{"31122024", {2024, 12, 31}},
                    DateCase{"01010001", {1, 1, 1}}, DateCase{"31129999", {9999, 12, 31}},
                    DateCase{"29022000", {2000, 2, 29}},  // divisible by 400
                    DateCase{"29021996", {1996, 2, 29}},
                    DateCase{"31011950", {1950, 1, 31}}, DateCase{"30041950", {1950, 4, 30}},
                    // Characters after the eighth are ignored.
                    DateCase{"05031950xyz", {1950, 3, 5}}, DateCase{"05031950 ", {1950, 3, 5}}));

class ParseBirthDateInvalid : public testing::TestWithParam<const char*> {};

TEST_P(ParseBirthDateInvalid, IsRefused) {
  EXPECT_THROW(ParseBirthDate(GetParam()), RegistrationRefused);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseBirthDateInvalid,
                         testing::Values("29021900",  // divisible by 100, not by 400
                                         "29021951", "30021952", "31041950", "05131950",
                                         "05001950", "00031950", "32011950", "05030000",
                                         "", "0503", "050319", "0503195",  // short texts
                                         "0503195x", "O5031950",           // letters
                                         "+5031950", "05-31950", "0503-950",  // signs
                                         " 5031950", "05 31950", "0503 950",  // blanks
                                         "0x031950", "05$A1950", "0503x7AE", "0503$7AE"));

}  // namespace
}  // namespace patlink
