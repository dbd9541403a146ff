#include "ConvertString.h"
#include <gtest/gtest.h>

class ConvertStringTest : public ::testing::Test {
protected:
    ConvertString m_convert;
};

// ---- UTF-8 ----

TEST_F(ConvertStringTest, Utf8CountsIncludeTheTerminatingZero)
{
    std::string strUtf8;
    // "a", U+00E9, U+65E5 (3 bytes), U+1F600 (a surrogate pair, 4 bytes)
    EXPECT_EQ(1 + 2 + 3 + 4 + 1, m_convert.UnicodetoUTF8(L"a\u00e9\u65e5\U0001F600", strUtf8));
    EXPECT_EQ(std::string("a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80"), strUtf8);
    std::wstring strWide;
    EXPECT_EQ(1 + 1 + 1 + 2 + 1, m_convert.UTF8toUNICODE(strUtf8.c_str(), strWide));
    EXPECT_EQ(L"a\u00e9\u65e5\U0001F600", strWide);
}

TEST_F(ConvertStringTest, EmptyTextGivesOneAndAnEmptyResult)
{
    std::string strUtf8 = "old";
    std::wstring strWide = L"old";
    EXPECT_EQ(1, m_convert.UnicodetoUTF8(L"", strUtf8));
    EXPECT_TRUE(strUtf8.empty());
    EXPECT_EQ(1, m_convert.UTF8toUNICODE("", strWide));
    EXPECT_TRUE(strWide.empty());
}

// ---- numbers ----

TEST_F(ConvertStringTest, StrictNumbersAreConverted)
{
    EXPECT_EQ(42, m_convert.StringToInteger(L"42"));
    EXPECT_EQ(7, m_convert.StringToInteger(L"007"));
    EXPECT_EQ(12, m_convert.StringToInteger(L"12.9"));
    EXPECT_EQ(12, m_convert.StringToInteger(L"12."));
    EXPECT_EQ(0, m_convert.StringToInteger(L"0"));
}

TEST_F(ConvertStringTest, AnythingElseGivesMinusOne)
{
    for (const wchar_t *psz : {L"", L".5", L"1a", L"1..2", L"1.2.3", L"-1", L" 1", L"1 ", L"+1"})
        EXPECT_EQ(-1, m_convert.StringToInteger(psz)) << "[" << std::string(psz, psz + wcslen(psz)) << "]";
}
