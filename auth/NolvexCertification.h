#pragma once
// The user's own password (certificate type 0), or device authentication when the service
// demands it.
#include "Certification.h"

class NolvexCertification : public Certification {
public:
    NolvexCertification(const std::wstring &strNolvexID, const std::wstring &strPassword, long lServiceIndex,
                        const CertificationSeams &seams = CertificationSeams());

    long GetNextPanel(ErrInfo *pErrInfo) override;
    long GetCertInfo(CertInfo &certInfo, ErrInfo *pErrInfo) override;

protected:
    // lEmptyPasswordCode: the message id for a missing password.
    NolvexCertification(const std::wstring &strNolvexID, const std::wstring &strPassword, long lServiceIndex,
                        const CertificationSeams &seams, long lEmptyPasswordCode);

private:
    const long m_lEmptyPasswordCode;
};
