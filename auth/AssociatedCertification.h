#pragma once
// The password held in the terminal profile (certificate type 1): connectPassword, taken when the
// object is made; or device authentication when the service demands it.
#include "NolvexCertification.h"

class AssociatedCertification : public NolvexCertification {
public:
    AssociatedCertification(const std::wstring &strNolvexID, long lServiceIndex,
                            const CertificationSeams &seams = CertificationSeams());
};
