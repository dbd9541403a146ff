#include "PipeMessageFields.h"
#include <gtest/gtest.h>

TEST(PipeMessageFields, KeywordIsTheTextBeforeTheFirstEqualSign)
{
    PipeMessageFields fields(L"MonitorEnd=C:\\a=b");
    EXPECT_EQ(L"MonitorEnd", fields.Keyword());
    EXPECT_EQ(L"C:\\a=b", fields.Rest());
}

TEST(PipeMessageFields, WithoutEqualSignTheFieldsComeFromTheKeywordItself)
{
    PipeMessageFields fields(L"MonitorStart");
    EXPECT_EQ(L"MonitorStart", fields.Keyword());
    PipeMessageFields::Cursor cursor(fields.Rest());
    EXPECT_EQ(0, cursor.NextNumber());
    EXPECT_EQ(L"", cursor.NextField());
}

TEST(PipeMessageFields, CommasSplitAllButTheLastField)
{
    // A user folder with a comma: the path ends at the comma, the rest shifts into the next fields.
    PipeMessageFields::Cursor cursor(L"1234,C:\\Users\\a,b\\NolvexConnect,1,3");
    EXPECT_EQ(1234, cursor.NextNumber());
    EXPECT_EQ(L"C:\\Users\\a", cursor.NextField());
    EXPECT_EQ(L"b\\NolvexConnect", cursor.NextField());
    EXPECT_EQ(1, cursor.LastNumber());   // "1,3" starts with the digit 1
}

TEST(PipeMessageFields, TheLastFieldKeepsItsCommas)
{
    PipeMessageFields::Cursor cursor(L"77,C:\\Upd,ate\\a,b");
    EXPECT_EQ(77, cursor.NextNumber());
    EXPECT_EQ(L"C:\\Upd,ate\\a,b", cursor.Remainder());
}

TEST(PipeMessageFields, NumbersCountOnlyLeadingDigits)
{
    EXPECT_EQ(42, PipeMessageFields::ToNumber(L"42"));
    EXPECT_EQ(12, PipeMessageFields::ToNumber(L"12abc"));
    EXPECT_EQ(0, PipeMessageFields::ToNumber(L"abc"));
    EXPECT_EQ(0, PipeMessageFields::ToNumber(L"-5"));
    EXPECT_EQ(0, PipeMessageFields::ToNumber(L" 5"));
    EXPECT_EQ(0, PipeMessageFields::ToNumber(L""));
    EXPECT_EQ(2147483647, PipeMessageFields::ToNumber(L"99999999999999999999"));
}

TEST(PipeMessageFields, MissingFieldsReadEmpty)
{
    PipeMessageFields::Cursor cursor(L"5");
    EXPECT_EQ(5, cursor.NextNumber());
    EXPECT_EQ(L"", cursor.NextField());
    EXPECT_EQ(L"", cursor.Remainder());
    EXPECT_EQ(0, cursor.LastNumber());
}
