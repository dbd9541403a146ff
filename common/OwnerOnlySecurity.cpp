#include "OwnerOnlySecurity.h"
#include "Log.h"
#include "ScopedHandle.h"
#include "WinRegInfo.h"
#include <sddl.h>

OwnerOnlySecurity::OwnerOnlySecurity() : m_pDescriptor(nullptr)
{
    m_sa.nLength = sizeof(m_sa);
    m_sa.lpSecurityDescriptor = nullptr;
    m_sa.bInheritHandle = FALSE;
}

OwnerOnlySecurity::~OwnerOnlySecurity()
{
    if (m_pDescriptor != nullptr) LocalFree(m_pDescriptor);
}

std::wstring OwnerOnlySecurity::ProcessUserSid()
{
    ScopedHandle hToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hToken.Receive())) {
        LOG_API_ERROR(L"OpenProcessToken", GetLastError());
        return std::wstring();
    }
    return WinRegInfo::GetTokenUserSID(hToken.Get());
}

bool OwnerOnlySecurity::Build()
{
    if (m_pDescriptor != nullptr) return true;
    std::wstring strSid = ProcessUserSid();
    if (strSid.empty()) return false;
    // D:P protected DACL; LocalSystem and the process's own user: full control; nobody else.
    std::wstring strSddl = L"D:P(A;;GA;;;SY)(A;;GA;;;" + strSid + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(strSddl.c_str(), SDDL_REVISION_1, &m_pDescriptor,
                                                              nullptr)) {
        LOG_API_ERROR(L"ConvertStringSecurityDescriptorToSecurityDescriptor", GetLastError());
        m_pDescriptor = nullptr;
        return false;
    }
    m_sa.lpSecurityDescriptor = m_pDescriptor;
    m_strSddl = strSddl;
    return true;
}
