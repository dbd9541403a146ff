#include "PipeImpersonation.h"
#include "Log.h"

PipeImpersonation::PipeImpersonation(HANDLE hPipe)
    : m_bActive(ImpersonateNamedPipeClient(hPipe) != FALSE), m_bReverted(true)
{
    if (!m_bActive) LOG_API_ERROR(L"ImpersonateNamedPipeClient", GetLastError());
}

PipeImpersonation::~PipeImpersonation()
{
    Revert();
}

bool PipeImpersonation::Revert()
{
    if (!m_bActive) return m_bReverted;
    m_bActive = false;
    m_bReverted = RevertToSelf() != FALSE;
    if (!m_bReverted) LOG_API_ERROR(L"RevertToSelf", GetLastError());
    return m_bReverted;
}
