#pragma once
// The certification factory: the class for the connection service's password type, or null.
#include "Certification.h"
#include <string>

// Certificate types (the service's remoteConnectPwType).
enum CertificateType : long {
    CERT_TYPE_NORMAL = 0,
    CERT_TYPE_ASSOCIATION = 1,
    CERT_TYPE_PATTERN = 2,
    CERT_TYPE_ONETIME = 3,
    CERT_TYPE_PATTERN_ALT = 4,
    CERT_TYPE_ONETIME_ALT = 5,
};

// A new certification the caller deletes, or null (logged) for an unknown type or an invalid
// combination with the access control gateway's password type.
Certification *GetCertification(long lServiceIndex, const std::wstring &strNolvexID, const std::wstring &strPassword);
Certification *GetCertification(long lServiceIndex, const std::wstring &strNolvexID, const std::wstring &strPassword,
                                const CertificationSeams &seams);
