#include "AssociatedCertification.h"
#include "MessageIds.h"
#include "TerminalProfile.h"

namespace {
std::wstring ProfilePassword(const CertificationSeams &seams)
{
    TerminalProfile &profile = seams.pProfile ? *seams.pProfile : TerminalProfile::GetInstance();
    return profile.GetConnectPassword();
}
}   // namespace

// Without the profile's password the profile itself is at fault: 4002.
AssociatedCertification::AssociatedCertification(const std::wstring &strNolvexID, long lServiceIndex,
                                                 const CertificationSeams &seams)
    : NolvexCertification(strNolvexID, ProfilePassword(seams), lServiceIndex, seams, MSG_PROFILE_CONTAINS_ERROR)
{
}
