#pragma once
// Security of the service's pipe instances. SYSTEM and Administrators have full control, local
// users may read and write data only (no WRITE_DAC, WRITE_OWNER or DELETE), network logons are
// denied. Remote clients are also rejected by the pipe mode where the system supports it.
#include <windows.h>

class PipeSecurity {
public:
    PipeSecurity();
    ~PipeSecurity();
    PipeSecurity(const PipeSecurity &) = delete;
    PipeSecurity &operator=(const PipeSecurity &) = delete;

    // Builds the descriptor; false (error logged) when the system refuses it.
    bool Build();
    SECURITY_ATTRIBUTES *GetAttributes() { return &m_sa; }
    // PIPE_REJECT_REMOTE_CLIENTS on Vista and later, 0 on XP (where the flag is invalid).
    static DWORD RejectRemoteFlag();

    // The descriptor as SDDL text, exposed so that tests can compare it with what a pipe reports.
    static const wchar_t *Sddl();

private:
    PSECURITY_DESCRIPTOR m_pDescriptor;
    SECURITY_ATTRIBUTES m_sa;
};
