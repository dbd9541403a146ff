#pragma once
// Security attributes for named objects that only the calling process's user and LocalSystem may
// open (the shared sections and mutexes of the XML reader). A protected DACL: nothing inherited,
// no other user, not even an administrator, gets a handle.
#include <windows.h>
#include <string>

class OwnerOnlySecurity {
public:
    OwnerOnlySecurity();
    ~OwnerOnlySecurity();
    OwnerOnlySecurity(const OwnerOnlySecurity &) = delete;
    OwnerOnlySecurity &operator=(const OwnerOnlySecurity &) = delete;

    // Builds the descriptor for the process token's user; false (logged) when that fails.
    bool Build();
    SECURITY_ATTRIBUTES *GetAttributes() { return &m_sa; }
    // The descriptor as SDDL text (for tests and the log); empty before Build.
    const std::wstring &GetSddl() const { return m_strSddl; }

private:
    static std::wstring ProcessUserSid();

    PSECURITY_DESCRIPTOR m_pDescriptor;
    SECURITY_ATTRIBUTES m_sa;
    std::wstring m_strSddl;
};
