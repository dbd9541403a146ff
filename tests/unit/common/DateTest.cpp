#include "Date.h"
#include <gtest/gtest.h>
#include <ctime>

namespace {
__int64 RuntimeValue(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond)
{
    struct tm tmValue = {};
    tmValue.tm_year = iYear - 1900;
    tmValue.tm_mon = iMonth - 1;
    tmValue.tm_mday = iDay;
    tmValue.tm_hour = iHour;
    tmValue.tm_min = iMinute;
    tmValue.tm_sec = iSecond;
    tmValue.tm_isdst = -1;
    return _mktime64(&tmValue);
}
}  // namespace

class DateTest : public ::testing::Test {
protected:
    Date m_date;
};

// ---- timestamps ----

TEST_F(DateTest, TimestampOfAGivenReadingHasTheLogLayout)
{
    SYSTEMTIME st = {};
    st.wYear = 2024;
    st.wMonth = 1;
    st.wDay = 31;
    st.wHour = 9;
    st.wMinute = 5;
    st.wSecond = 7;
    st.wMilliseconds = 3;
    m_date.SetTime(st);
    EXPECT_EQ(L"2024/01/31 09:05:07.003", m_date.GetTimeStamp());
}

TEST_F(DateTest, LocalTimestampStoresTheFieldsItShows)
{
    SYSTEMTIME stBefore;
    GetLocalTime(&stBefore);
    std::wstring strStamp = m_date.GetLocalTimeStamp();
    ASSERT_EQ(23u, strStamp.size());
    wchar_t szExpected[32];
    _snwprintf(szExpected, 31, L"%04d/%02d/%02d %02d:%02d:%02d.%03d", m_date.GetYear(), m_date.GetMonth(),
               m_date.GetDay(), m_date.GetHour(), m_date.GetMinute(), m_date.GetSecond(), m_date.GetMilliseconds());
    EXPECT_EQ(szExpected, strStamp);
    EXPECT_EQ(stBefore.wYear, m_date.GetYear());
}

TEST_F(DateTest, UtcTimestampFollowsTheUtcClock)
{
    SYSTEMTIME stUtc;
    GetSystemTime(&stUtc);
    m_date.GetUTCTimeStamp();
    EXPECT_EQ(stUtc.wYear, m_date.GetYear());
    // The two readings may fall on either side of an hour.
    EXPECT_TRUE(m_date.GetHour() == stUtc.wHour || m_date.GetHour() == (stUtc.wHour + 1) % 24);
}

// ---- time values ----

TEST_F(DateTest, DateTextGivesMidnightOfThatDay)
{
    EXPECT_EQ(RuntimeValue(2024, 1, 31, 0, 0, 0), m_date.ConvertTimeToString(L"YYYYMMDD", L"20240131"));
    EXPECT_EQ(86400, m_date.ConvertTimeToString(L"YYYYMMDD", L"20240201") -
                         m_date.ConvertTimeToString(L"YYYYMMDD", L"20240131"));
}

TEST_F(DateTest, FieldLettersMayStandInAnyOrder)
{
    __int64 llValue = m_date.ConvertTimeToString(L"YYYYMMDDhhmmss", L"20240131123456");
    EXPECT_EQ(llValue, m_date.ConvertTimeToString(L"ssmmhhDDMMYYYY", L"56341231012024"));
    EXPECT_EQ(llValue, m_date.ConvertTimeToString(L"YYYY/MM/DD hh:mm:ss.fff", L"2024/01/31 12:34:56.789"));
    EXPECT_EQ(12 * 3600 + 34 * 60 + 56, llValue - m_date.ConvertTimeToString(L"YYYYMMDD", L"20240131"));
}

TEST_F(DateTest, ValueShorterThanItsFormatLeavesTheMissingFieldsZero)
{
    EXPECT_EQ(m_date.ConvertTimeToString(L"YYYYMMDD", L"20240131"),
              m_date.ConvertTimeToString(L"YYYYMMDDhhmmss", L"20240131"));
    EXPECT_EQ(RuntimeValue(2024, 0, 0, 0, 0, 0), m_date.ConvertTimeToString(L"YYYYMMDD", L"2024"));
}

TEST_F(DateTest, OutOfRangeDateGivesWhatTheRuntimeGives)
{
    EXPECT_EQ(RuntimeValue(9999, 99, 99, 0, 0, 0), m_date.ConvertTimeToString(L"YYYYMMDD", L"99999999"));
}

TEST_F(DateTest, UtcTimeValueMatchesItsOwnTimestampConverted)
{
    __int64 llNow = m_date.GetUTCDateOfTypeTime();
    wchar_t szDigits[32];
    _snwprintf(szDigits, 31, L"%04d%02d%02d%02d%02d%02d", m_date.GetYear(), m_date.GetMonth(), m_date.GetDay(),
               m_date.GetHour(), m_date.GetMinute(), m_date.GetSecond());
    Date other;
    EXPECT_EQ(llNow, other.ConvertTimeToString(L"YYYYMMDDhhmmss", szDigits));
}
