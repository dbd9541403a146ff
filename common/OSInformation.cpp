#include "OSInformation.h"
#include "Log.h"
#include "WinOSInformation.h"
#include <new>

OSInformation::~OSInformation()
{
}

OSInformation *CreateOSInformation()
{
    OSInformation *pInfo = new (std::nothrow) WinOSInformation();
    if (pInfo == nullptr) LOGWRITE(LOG_ERROR, L"Failed to generate a WinOSInformation class");
    return pInfo;
}
