#include "ServiceStatusReport.h"
#include "Log.h"
#include "ServiceGlobals.h"

ServiceStatusReport g_statusReport;

void ServiceStatusReport::Report(DWORD dwState, DWORD dwCheckPoint, DWORD dwWaitHint)
{
    CriticalSection::Lock lock(m_cs);
    g_serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_serviceStatus.dwControlsAccepted = ACCEPTED_CONTROLS;
    g_serviceStatus.dwCurrentState = dwState;
    g_serviceStatus.dwCheckPoint = dwCheckPoint;
    g_serviceStatus.dwWaitHint = dwWaitHint;
    SendLocked();
}

void ServiceStatusReport::ReportCurrent()
{
    CriticalSection::Lock lock(m_cs);
    SendLocked();
}

void ServiceStatusReport::SetExitCode(ServiceExitCode code)
{
    CriticalSection::Lock lock(m_cs);
    if (g_serviceStatus.dwServiceSpecificExitCode != NC_EXIT_OK || code == NC_EXIT_OK) return;
    LOGWRITE(LOG_ERROR, L"The service ends with the service-specific exit code %lu.", static_cast<DWORD>(code));
    g_serviceStatus.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    g_serviceStatus.dwServiceSpecificExitCode = code;
}

DWORD ServiceStatusReport::GetExitCode()
{
    CriticalSection::Lock lock(m_cs);
    return g_serviceStatus.dwServiceSpecificExitCode;
}

void ServiceStatusReport::Reset()
{
    CriticalSection::Lock lock(m_cs);
    g_serviceStatus.dwWin32ExitCode = NO_ERROR;
    g_serviceStatus.dwServiceSpecificExitCode = NC_EXIT_OK;
}

void ServiceStatusReport::SendLocked()
{
    if (g_hServiceStatus != nullptr && !SetServiceStatus(g_hServiceStatus, &g_serviceStatus)) {
        LOG_API_ERROR(L"SetServiceStatus", GetLastError());
    }
}
