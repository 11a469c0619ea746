#include "cmdline/command_line.h"

#include <gtest/gtest.h>

namespace patlink {
namespace {

using Parameters = std::vector<std::string>;

struct SplitCase {
  const char* command_line;
  Parameters expected;
};

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsByTheWindowsRule) {
  EXPECT_EQ(SplitCommandLine(GetParam().command_line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    testing::Values(
        SplitCase{"", {}}, SplitCase{"   \t ", {}},
        SplitCase{"prog a b c d", {"prog", "a", "b", "c", "d"}},
        // Any character up to the blank separates, control characters included.
        SplitCase{"prog\ta\x01"
                  "b\x1f"
                  "c\r\nd",
                  {"prog", "a", "b", "c", "d"}},
        SplitCase{"prog   a    b", {"prog", "a", "b"}},
        SplitCase{"\"C:\\Program Files\\patlink.exe\" \"Van Dyke\" Jan",
                  {"C:\\Program Files\\patlink.exe", "Van Dyke", "Jan"}},
        // Quotes may stand anywhere in a parameter and are dropped.
        SplitCase{"prog ab\"c d\"e", {"prog", "abc de"}},
        // An unclosed quote runs to the end of the line.
        SplitCase{"prog \"a b", {"prog", "a b"}},
        // An empty quoted parameter keeps its place: the later ones do not move up.
        SplitCase{"prog Novak \"\" 05031950 X1", {"prog", "Novak", "", "05031950", "X1"}},
        SplitCase{"prog \"\"", {"prog", ""}},
        SplitCase{"prog \"\"abc", {"prog", "abc"}},
        // Backslashes are ordinary characters.
        SplitCase{"prog a\\\"b c\"", {"prog", "a\\b c"}},
        // Bytes above 127 are never separators.
        SplitCase{"prog Nov\xc3\xa1k", {"prog", "Nov\xc3\xa1k"}}));

TEST(Utf8ToWin1250Test, MapsCentralEuropeanLetters) {
  EXPECT_EQ(Utf8ToWin1250("Nov\xc3\xa1k"), "Nov\xe1k");              // á
  EXPECT_EQ(Utf8ToWin1250("\xc5\xa0\xc5\xa5\xc4\x8d"), "\x8a\x9d\xe8");  // Š ť č
  EXPECT_EQ(Utf8ToWin1250("\xc5\x91\xc5\xb1"), "\xf5\xfb");          // ő ű
  EXPECT_EQ(Utf8ToWin1250("\xe2\x82\xac"), "\x80");                  // €
  EXPECT_EQ(Utf8ToWin1250("plain ASCII 123"), "plain ASCII 123");
  EXPECT_EQ(Utf8ToWin1250(""), "");
}

TEST(Utf8ToWin1250Test, RefusesWhatCodePage1250CannotHold) {
  for (const char* text : {
           "\xc3\xb1",          // ñ: not in 1250, no lookalike allowed
           "\xd0\x96",          // Cyrillic
           "\xe2\x80\xa6x\xe4\xb8\xad",  // … is, 中 is not
           "\xf0\x9f\x98\x80",  // emoji
           "\xef\xbf\xbd",      // replacement character from a bad UTF-16 text
           "\xc3",              // truncated
           "\xc0\xaf",          // overlong
           "\xed\xa0\x80",      // surrogate
           "\xff",
       }) {
    EXPECT_THROW(Utf8ToWin1250(text), EncodingError) << testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace patlink
