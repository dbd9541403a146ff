#include "GetCertification.h"
#include "AssociatedCertification.h"
#include "ConvertString.h"
#include "Log.h"
#include "NolvexCertification.h"
#include "OnetimeCertification.h"
#include "PaslogiCertification.h"
#include "TerminalProfile.h"
#include <new>

namespace {
const wchar_t kNoAccessControlPassword[] = L"0";

// The decimal value of the service's remoteConnectPwType; -1 when it is no number.
long CertificateTypeOf(TerminalProfile &profile, long lServiceIndex)
{
    if (profile.GetFilePath().empty()) {
        LOGWRITE(LOG_INFO, L"No terminal profile: the ordinary certification is used");
        return CERT_TYPE_NORMAL;
    }
    std::wstring strType = profile.GetRemoteConnectPwType(static_cast<int>(lServiceIndex));
    ConvertString convert;
    return convert.StringToInteger(strType);
}

bool IsPatternType(long lType)
{
    return lType == CERT_TYPE_PATTERN || lType == CERT_TYPE_PATTERN_ALT;
}

// An access control gateway whose password type is 0 cannot take the password typed for the
// remote connection.
bool IsInvalidCombination(TerminalProfile &profile, long lServiceIndex, long lType)
{
    int iIndex = static_cast<int>(lServiceIndex);
    if (profile.GetAccessControlGWAddr(iIndex).empty()) return false;
    ConvertString convert;
    if (convert.StringToInteger(profile.GetAccessControlPwType(iIndex)) != 0) return false;
    if (IsPatternType(lType))
        LOGWRITE(LOG_ERROR, L"Invalid Combination, Remote Connection(NORMAL) and Access Control(PASLOGI) Password Type.");
    else
        LOGWRITE(LOG_ERROR, L"Invalid Combination, Remote Connection(NORMAL) and Access Control(ONETIME) Password Type.");
    return true;
}

Certification *Create(long lType, long lServiceIndex, const std::wstring &strNolvexID, const std::wstring &strPassword,
                      const CertificationSeams &seams)
{
    Certification *pCert = nullptr;
    if (lType == CERT_TYPE_NORMAL) {
        LOGWRITE(LOG_INFO, L"Create NolvexCertification");
        pCert = new (std::nothrow) NolvexCertification(strNolvexID, strPassword, lServiceIndex, seams);
    } else if (lType == CERT_TYPE_ASSOCIATION) {
        LOGWRITE(LOG_INFO, L"Create AssociatedCertification");
        pCert = new (std::nothrow) AssociatedCertification(strNolvexID, lServiceIndex, seams);
    } else if (IsPatternType(lType)) {
        LOGWRITE(LOG_INFO, L"Create PaslogiCertification");
        pCert = new (std::nothrow) PaslogiCertification(strNolvexID, lServiceIndex, seams);
    } else {
        LOGWRITE(LOG_INFO, L"Create OnetimeCertification");
        pCert = new (std::nothrow) OnetimeCertification(strNolvexID, lServiceIndex, seams);
    }
    if (!pCert) LOGWRITE(LOG_ERROR, L"Failed to generate a Certification class");
    return pCert;
}
}   // namespace

Certification *GetCertification(long lServiceIndex, const std::wstring &strNolvexID, const std::wstring &strPassword)
{
    return GetCertification(lServiceIndex, strNolvexID, strPassword, CertificationSeams());
}

Certification *GetCertification(long lServiceIndex, const std::wstring &strNolvexID, const std::wstring &strPassword,
                                const CertificationSeams &seams)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] index %ld NolvexID {%s} password {%s}", lServiceIndex, strNolvexID.c_str(),
             strPassword.c_str());
    TerminalProfile &profile = seams.pProfile ? *seams.pProfile : TerminalProfile::GetInstance();
    long lType = CertificateTypeOf(profile, lServiceIndex);
    LOGWRITE(LOG_INFO, L"Get CertificateType %d NORMAL:%d ASSOCIATION:%d PATTERN:%d ONETIME:%d", (int)lType,
             (int)CERT_TYPE_NORMAL, (int)CERT_TYPE_ASSOCIATION, (int)CERT_TYPE_PATTERN, (int)CERT_TYPE_ONETIME);
    if (lType < CERT_TYPE_NORMAL || lType > CERT_TYPE_ONETIME_ALT) {
        LOGWRITE(LOG_ERROR, L"Can't Find CertificateType %d", (int)lType);
        return nullptr;
    }
    if (lType >= CERT_TYPE_PATTERN && IsInvalidCombination(profile, lServiceIndex, lType)) return nullptr;
    return Create(lType, lServiceIndex, strNolvexID, strPassword, seams);
}
