#include "PipeSecurity.h"
#include "Log.h"
#include <sddl.h>

namespace {
// D:P            protected DACL, nothing inherited
// (D;;GA;;;NU)   network logons: denied everything (deny entries are checked first)
// (A;;GA;;;SY)   LocalSystem: full control
// (A;;GA;;;BA)   Administrators: full control
// (A;;0x12019f;;;AU) authenticated (local) users: FILE_GENERIC_READ | FILE_GENERIC_WRITE, which
//                is what a client opening the pipe for writing asks for; no DAC, owner or delete
const wchar_t kPipeSddl[] = L"D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x12019f;;;AU)";
const DWORD kPipeRejectRemoteClients = 0x00000008;   // PIPE_REJECT_REMOTE_CLIENTS (Vista)
}  // namespace

PipeSecurity::PipeSecurity() : m_pDescriptor(nullptr)
{
    m_sa.nLength = sizeof(m_sa);
    m_sa.lpSecurityDescriptor = nullptr;
    m_sa.bInheritHandle = FALSE;
}

PipeSecurity::~PipeSecurity()
{
    if (m_pDescriptor != nullptr) LocalFree(m_pDescriptor);
}

bool PipeSecurity::Build()
{
    LOG_SCOPE();
    if (m_pDescriptor != nullptr) return true;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeSddl, SDDL_REVISION_1,
                                                              &m_pDescriptor, nullptr)) {
        LOG_API_ERROR(L"ConvertStringSecurityDescriptorToSecurityDescriptor", GetLastError());
        m_pDescriptor = nullptr;
        return false;
    }
    m_sa.lpSecurityDescriptor = m_pDescriptor;
    return true;
}

DWORD PipeSecurity::RejectRemoteFlag()
{
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&osvi)) {
#pragma GCC diagnostic pop
        LOG_API_ERROR(L"GetVersionEx", GetLastError());
        return 0;
    }
    return osvi.dwMajorVersion >= 6 ? kPipeRejectRemoteClients : 0;
}

const wchar_t *PipeSecurity::Sddl()
{
    return kPipeSddl;
}
