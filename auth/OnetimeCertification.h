#pragma once
// A one-time password typed at connect time (certificate types 3 and 5), used unchanged.
#include "Certification.h"

class OnetimeCertification : public Certification {
public:
    OnetimeCertification(const std::wstring &strNolvexID, long lServiceIndex,
                         const CertificationSeams &seams = CertificationSeams());

    // Clears the record; the client asks for the password (PANEL_PASSWORD).
    long GetNextPanel(ErrInfo *pErrInfo) override;
    long GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo) override;
    long OnetimePasswordCert(const std::wstring &strPassword, bool bAlreadyDone, bool bUseProfilePassword) override;
};
