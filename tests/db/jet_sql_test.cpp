#include "db/jet_sql.h"

#include <gtest/gtest.h>

#include "db/functions.h"

namespace kyt::db {
namespace {

struct Rewrite {
    const char* given;
    const char* expected;
};

class ToSqlite : public ::testing::TestWithParam<Rewrite> {};

TEST_P(ToSqlite, RewritesOnlyWhatSqliteReadsDifferently)
{
    EXPECT_EQ(jet::toSqlite(GetParam().given), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ToSqlite,
    ::testing::Values(
        Rewrite{"SELECT a/b FROM t", "SELECT a*1.0/b FROM t"},
        Rewrite{"format(sum(obtained)/sum(max) * 100,'0.00')", "format(sum(obtained)*1.0/sum(max) * 100,'0.00')"},
        Rewrite{"SELECT (sum(obtained) /sum(max)) * 100  as average", "SELECT (sum(obtained) *1.0/sum(max)) * 100  as average"},
        Rewrite{"CInt((Now()-Cdate(dob1))/365.2)", "CInt((Now()-Cdate(dob1))*1.0/365.2)"},
        Rewrite{"SELECT 'a/b', \"c/d\", [e/f], `g/h` FROM t", "SELECT 'a/b', \"c/d\", [e/f], `g/h` FROM t"},
        Rewrite{"SELECT 'it''s 1/2' FROM t", "SELECT 'it''s 1/2' FROM t"},
        Rewrite{"SELECT 1 -- a/b\n/2", "SELECT 1 -- a/b\n*1.0/2"},
        Rewrite{"SELECT 1 /* a/b */ /2", "SELECT 1 /* a/b */ *1.0/2"},
        Rewrite{"DELETE Branch from branch where BranchCode = 'EC'", "DELETE FROM branch where BranchCode = 'EC'"},
        Rewrite{"delete * from Marks", "DELETE FROM Marks"},
        Rewrite{"  DELETE Marks.* FROM Marks WHERE usn = 'x'", "  DELETE FROM Marks WHERE usn = 'x'"},
        Rewrite{"DELETE from Personal where usn like '1QP22%'", "DELETE from Personal where usn like '1QP22%'"},
        Rewrite{"DELETE from Marks ", "DELETE from Marks "},
        Rewrite{"SELECT 'DELETE x FROM y'", "SELECT 'DELETE x FROM y'"},
        Rewrite{"\t\nDelete\t[My Marks]\r\nFrom [My Marks] WHERE a/b > 1", "\t\nDELETE FROM [My Marks] WHERE a*1.0/b > 1"},
        Rewrite{"DELETE *\nFROM(Marks)", "DELETE FROM(Marks)"},
        Rewrite{"DELETE Marks.*  FROM Marks", "DELETE FROM Marks"},
        Rewrite{"DELETE Marks FROMAGE", "DELETE Marks FROMAGE"},
        Rewrite{"DELETEx FROM Marks", "DELETEx FROM Marks"},
        Rewrite{"DELETE [open FROM Marks", "DELETE [open FROM Marks"},
        Rewrite{"DELETE Marks.x FROM Marks", "DELETE Marks.x FROM Marks"},
        Rewrite{"-- note\nDELETE * FROM Marks", "-- note\nDELETE * FROM Marks"},
        Rewrite{"DELETE * FROM", "DELETE FROM"},
        Rewrite{"", ""}));

TEST(ColumnName, UndoesTheDivisionRewriteInExpressionNames)
{
    EXPECT_EQ(jet::columnName("sum(obtained)*1.0/sum(max)"), "sum(obtained)/sum(max)");
    EXPECT_EQ(jet::columnName("Percent1To6"), "Percent1To6");
}

TEST(TwoDecimalAliases, FindsTheNamesOfFormattedPercentages)
{
    EXPECT_EQ(jet::twoDecimalAliases("SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * "
                                     "100,'0.00') AS Percent1To6 From marks GROUP BY USN"),
              std::vector<std::string>{"Percent1To6"});
    EXPECT_EQ(jet::twoDecimalAliases("SELECT FORMAT ( (a/b), '0.00' ) as [My Pct], format(x,'0.0') AS One, "
                                     "format(y, '0.00') AS \"Two\" FROM t"),
              (std::vector<std::string>{"My Pct", "Two"}));
    EXPECT_TRUE(jet::twoDecimalAliases("SELECT 'format(x,''0.00'') AS Fake' FROM t").empty());
    EXPECT_TRUE(jet::twoDecimalAliases("SELECT format(x,'0.00') FROM t").empty());
    EXPECT_TRUE(jet::twoDecimalAliases("SELECT format(x,'0.00' FROM t").empty());
}

struct Like {
    const char* pattern;
    const char* text;
    bool matches;
};

class JetLike : public ::testing::TestWithParam<Like> {};

TEST_P(JetLike, FollowsTheQueryRoadWildcards)
{
    EXPECT_EQ(jet::likeMatches(GetParam().pattern, GetParam().text), GetParam().matches)
        << GetParam().pattern << " ~ " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, JetLike,
    ::testing::Values(Like{"*22CS*", "1QP22CS001", true}, Like{"*22cs*", "1QP22CS001", true},
                      Like{"*22CS*", "1QP22EC001", false}, Like{"***", "", true}, Like{"*", "anything", true},
                      Like{"", "", true}, Like{"", "a", false}, Like{"?", "", false}, Like{"?QP*", "1QP22", true},
                      Like{"1QP2#CS*", "1QP22CS001", true}, Like{"1QP2#CS*", "1QP2XCS001", false},
                      Like{"[A-C]x", "bx", true}, Like{"[A-C]x", "dx", false}, Like{"[!A-C]x", "bx", false},
                      Like{"[!A-C]x", "dx", true}, Like{"a[*]b", "a*b", true}, Like{"a[*]b", "axb", false},
                      Like{"a[?]", "a?", true}, Like{"a%", "a%", true}, Like{"a%", "ab", false},
                      Like{"a_", "ab", false}, Like{"*java*oracle*", "Java and Oracle", true},
                      Like{"*java*oracle*", "Oracle and Java", false}, Like{"José*", "JOSÉ MARIA", true},
                      Like{"a[b", "a[b", true}, Like{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", true},
                      Like{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false}));

TEST(JetLike, EscapeMakesTheNextCharacterLiteral)
{
    EXPECT_TRUE(jet::likeMatches("50\\*", "50*", U'\\'));
    EXPECT_FALSE(jet::likeMatches("50\\*", "500", U'\\'));
}

struct DateCase {
    const char* text;
    int year, month, day;  // year 0: does not convert
};

class ParseDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(ParseDate, ReadsDayFirstDatesAndRefusesImpossibleOnes)
{
    const DateCase& c = GetParam();
    std::optional<double> day = parseDate(c.text);
    if (c.year == 0) {
        EXPECT_FALSE(day) << c.text;
    } else {
        ASSERT_TRUE(day) << c.text;
        EXPECT_EQ(*day, daySerial(c.year, c.month, c.day)) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ParseDate,
    ::testing::Values(DateCase{"05-11-1982", 1982, 11, 5}, DateCase{"5/11/82", 1982, 11, 5},
                      DateCase{" 01.01.05 ", 2005, 1, 1}, DateCase{"1982-11-05", 1982, 11, 5},
                      DateCase{"29-02-2004", 2004, 2, 29}, DateCase{"29-02-2001", 0, 0, 0},
                      DateCase{"31-13-0", 0, 0, 0}, DateCase{"00-11-1982", 0, 0, 0}, DateCase{"", 0, 0, 0},
                      DateCase{"ERR", 0, 0, 0}, DateCase{"05-11-1982x", 0, 0, 0}, DateCase{"05--11-1982", 0, 0, 0},
                      DateCase{"05-11", 0, 0, 0}));

TEST(DaySerial, CountsDaysFromTheLastDayOf1899)
{
    EXPECT_EQ(daySerial(1899, 12, 30), 0);
    EXPECT_EQ(daySerial(1900, 1, 1), 2);
    EXPECT_EQ(daySerial(1982, 11, 5) - daySerial(1982, 11, 4), 1);
    EXPECT_EQ(daySerial(2000, 3, 1) - daySerial(2000, 2, 28), 2);  // 2000 is a leap year
    EXPECT_EQ(daySerial(2100, 3, 1) - daySerial(2100, 2, 28), 1);  // 2100 is not
}

TEST(RoundHalfEven, SendsHalvesToTheEvenNeighbour)
{
    const std::pair<double, double> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.4999, 2}, {2.51, 3}};
    for (auto [given, expected] : cases)
        EXPECT_EQ(roundHalfEven(given), expected) << given;
}

}  // namespace
}  // namespace kyt::db
