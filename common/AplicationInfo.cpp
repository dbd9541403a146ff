#include "AplicationInfo.h"
#include "Log.h"
#include "WinRegInfo.h"
#include <new>

AplicationInfo::~AplicationInfo()
{
}

AplicationInfo *CreateAplicationInfo()
{
    AplicationInfo *pInfo = new (std::nothrow) WinRegInfo();
    if (pInfo == nullptr) LOGWRITE(LOG_ERROR, L"Failed to generate a WinRegInfo class");
    return pInfo;
}
