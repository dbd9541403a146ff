#include "Date.h"
#include "Log.h"
#include <cstdlib>
#include <ctime>

Date::Date()
    : m_iYear(0), m_iMonth(0), m_iDay(0), m_iHour(0), m_iMinute(0), m_iSecond(0), m_iMilliseconds(0)
{
}

void Date::SetTime(const SYSTEMTIME &stTime)
{
    m_iYear = stTime.wYear;
    m_iMonth = stTime.wMonth;
    m_iDay = stTime.wDay;
    m_iHour = stTime.wHour;
    m_iMinute = stTime.wMinute;
    m_iSecond = stTime.wSecond;
    m_iMilliseconds = stTime.wMilliseconds;
}

std::wstring Date::GetTimeStamp() const
{
    wchar_t szStamp[64] = {};
    _snwprintf(szStamp, 63, L"%04d/%02d/%02d %02d:%02d:%02d.%03d", m_iYear, m_iMonth, m_iDay, m_iHour,
               m_iMinute, m_iSecond, m_iMilliseconds);
    return szStamp;
}

void Date::SetNowTime()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    SetTime(st);
}

std::wstring Date::GetLocalTimeStamp()
{
    SetNowTime();
    return GetTimeStamp();
}

std::wstring Date::GetUTCTimeStamp()
{
    SYSTEMTIME st;
    GetSystemTime(&st);
    SetTime(st);
    return GetTimeStamp();
}

__int64 Date::ToTimeValue(int iYear, int iMonth, int iDay, int iHour, int iMinute, int iSecond)
{
    struct tm tmValue = {};
    tmValue.tm_year = iYear - 1900;
    tmValue.tm_mon = iMonth - 1;
    tmValue.tm_mday = iDay;
    tmValue.tm_hour = iHour;
    tmValue.tm_min = iMinute;
    tmValue.tm_sec = iSecond;
    tmValue.tm_isdst = -1;   // let the runtime decide, the same for every value compared
    return _mktime64(&tmValue);
}

__int64 Date::GetUTCDateOfTypeTime()
{
    LOG_SCOPE();
    GetUTCTimeStamp();
    __int64 llValue = ToTimeValue(m_iYear, m_iMonth, m_iDay, m_iHour, m_iMinute, m_iSecond);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] GetUTCDateOfTypeTime() return is [%I64d]", llValue);
    return llValue;
}

int Date::TakeField(wchar_t cLetter, std::wstring &strFormat, std::wstring &strValue)
{
    std::wstring strDigits;
    for (size_t nPos = strFormat.find(cLetter); nPos != std::wstring::npos; nPos = strFormat.find(cLetter)) {
        if (nPos < strValue.size()) {
            strDigits += strValue[nPos];
            strValue.erase(nPos, 1);
        }
        strFormat.erase(nPos, 1);
    }
    return strDigits.empty() ? 0 : _wtoi(strDigits.c_str());
}

__int64 Date::ConvertTimeToString(const std::wstring &strFormat, const std::wstring &strValue)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] format is %s", strFormat.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] value is %s", strValue.c_str());
    std::wstring strF = strFormat;
    std::wstring strV = strValue;
    int iYear = TakeField(L'Y', strF, strV);
    int iMonth = TakeField(L'M', strF, strV);
    int iDay = TakeField(L'D', strF, strV);
    int iHour = TakeField(L'h', strF, strV);
    int iMinute = TakeField(L'm', strF, strV);
    int iSecond = TakeField(L's', strF, strV);
    TakeField(L'f', strF, strV);   // read so that it does not shift later fields; not used
    __int64 llValue = ToTimeValue(iYear, iMonth, iDay, iHour, iMinute, iSecond);
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] ConvertTimeToString() return is [%I64d]", llValue);
    return llValue;
}
