#pragma once
// Clock readings, the trace log's timestamps and date texts turned into comparable time values.
#include <windows.h>
#include <string>

class Date {
public:
    Date();

    // "%04d/%02d/%02d %02d:%02d:%02d.%03d" of the local time; the fields are stored.
    std::wstring GetLocalTimeStamp();
    // The same of the UTC time; the fields are stored.
    std::wstring GetUTCTimeStamp();
    // Stores the local time in the fields.
    void SetNowTime();
    // Stores the given reading (the trace log passes its own clock's reading).
    void SetTime(const SYSTEMTIME &stTime);
    // The stored fields in the timestamp layout.
    std::wstring GetTimeStamp() const;

    // Seconds since 1970 of the current UTC wall-clock reading, converted as if it were local
    // time: comparable with ConvertTimeToString, which converts the same way.
    __int64 GetUTCDateOfTypeTime();
    // Time value of a date text: strFormat names each character of strValue with a field letter
    // (Y M D h m s, f fraction, ignored), e.g. "YYYYMMDD" and "20240131".
    __int64 ConvertTimeToString(const std::wstring &strFormat, const std::wstring &strValue);

    int GetYear() const { return m_iYear; }
    int GetMonth() const { return m_iMonth; }
    int GetDay() const { return m_iDay; }
    int GetHour() const { return m_iHour; }
    int GetMinute() const { return m_iMinute; }
    int GetSecond() const { return m_iSecond; }
    int GetMilliseconds() const { return m_iMilliseconds; }

private:
    // Takes every character of strValue standing where cLetter stands in strFormat, removes those
    // positions from both, and converts the taken digits (none give 0).
    static int TakeField(wchar_t cLetter, std::wstring &strFormat, std::wstring &strValue);
    static __int64 ToTimeValue(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond);

    int m_iYear;
    int m_iMonth;
    int m_iDay;
    int m_iHour;
    int m_iMinute;
    int m_iSecond;
    int m_iMilliseconds;
};
