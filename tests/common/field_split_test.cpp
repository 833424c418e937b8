// The field splitter: quoting, line ends, the tab-then-blank rule.
#include <gtest/gtest.h>

#include "common/field_split.hpp"

namespace corvane {
namespace {

field_list split_at_tabs(std::string_view line) {
    field_list fields{"stale"};
    _csvline_populate(fields, line, '\t');
    return fields;
}

TEST(FieldSplit, QuotingAndLineEnds) {
    using list = field_list;
    EXPECT_EQ(split_at_tabs(""), (list{""}));
    EXPECT_EQ(split_at_tabs("a\tb\t"), (list{"a", "b", ""}));
    EXPECT_EQ(split_at_tabs("\"a\"\"b\"\tc"), (list{"a\"b", "c"}));
    EXPECT_EQ(split_at_tabs("x\"y\""), (list{"x\"y\""}));
    EXPECT_EQ(split_at_tabs("\"ab\"cd"), (list{"abcd"}));
    EXPECT_EQ(split_at_tabs("\"a\tb\"\tc"), (list{"a\tb", "c"}));
    EXPECT_EQ(split_at_tabs("a\r\nb"), (list{"a"}));
    EXPECT_EQ(split_at_tabs("\"ab"), (list{"ab"}));
    EXPECT_EQ(split_at_tabs("\t\t"), (list{"", "", ""}));
    // An unclosed quote keeps a CR as part of the last field; a NUL ends the line.
    EXPECT_EQ(split_at_tabs("\"a\r"), (list{"a\r"}));
    EXPECT_EQ(split_at_tabs(std::string_view("a\tb\0\tc", 6)), (list{"a", "b"}));
}

TEST(FieldSplit, SplitLineFallsBackToBlanks) {
    field_list fields;
    split_line(fields, "0 1 1 0");
    EXPECT_EQ(fields, (field_list{"0", "1", "1", "0"}));
    split_line(fields, "0\t1\t1\t0");
    EXPECT_EQ(fields, (field_list{"0", "1", "1", "0"}));
    split_line(fields, "0  1");
    EXPECT_EQ(fields, (field_list{"0", "", "1"}));
    split_line(fields, "0101");
    EXPECT_EQ(fields, (field_list{"0101"}));
    // Blanks inside tab-separated fields stay in the fields.
    split_line(fields, "a b\tc");
    EXPECT_EQ(fields, (field_list{"a b", "c"}));
    split_line(fields, "0 1 0\r");
    EXPECT_EQ(fields, (field_list{"0", "1", "0"}));
}

}  // namespace
}  // namespace corvane
