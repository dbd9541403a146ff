#include "CertifyCommand.h"
#include "AssociatedCertification.h"
#include "ClientOptions.h"
#include "ConsoleOut.h"
#include "GetCertification.h"
#include "HashDigest.h"
#include "Log.h"
#include "NolvexCertification.h"
#include "OnetimeCertification.h"
#include "PaslogiCertification.h"
#include "TerminalProfile.h"
#include "TestClientApp.h"
#include "TraceLog.h"
#include "WinOSInformation.h"
#include <memory>

// Older mingw headers lack the SHA-256 id.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace {
void Line(const std::wstring &strName, const std::wstring &strValue)
{
    ConsoleOut::Out(strName + L"=" + strValue);
}

std::wstring Utf8Hash(const std::wstring &strText)
{
    std::string strBytes;
    int iBytes = WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), static_cast<int>(strText.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (iBytes > 0) {
        strBytes.resize(static_cast<size_t>(iBytes));
        WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), static_cast<int>(strText.size()), &strBytes[0], iBytes,
                            nullptr, nullptr);
    }
    std::wstring strHex;
    HashDigest digest(PROV_RSA_AES, CALG_SHA_256);
    if (digest.HexText(reinterpret_cast<const BYTE *>(strBytes.data()), static_cast<DWORD>(strBytes.size()), strHex) != 0)
        return L"?";
    return strHex;
}

const wchar_t *ClassName(Certification &cert)
{
    if (dynamic_cast<PaslogiCertification *>(&cert)) return L"PaslogiCertification";
    if (dynamic_cast<OnetimeCertification *>(&cert)) return L"OnetimeCertification";
    if (dynamic_cast<AssociatedCertification *>(&cert)) return L"AssociatedCertification";
    if (dynamic_cast<NolvexCertification *>(&cert)) return L"NolvexCertification";
    return L"Certification";
}
}   // namespace

CertifyCommand::CertifyCommand(const std::vector<std::wstring> &vecArgs) : m_vecArgs(vecArgs) {}

void CertifyCommand::NotifyError(long lMsgCode, long lTitleCode, long lDispStatus, const std::wstring &strAddMsg)
{
    ConsoleOut::Out(L"notice msg=" + std::to_wstring(lMsgCode) + L" title=" + std::to_wstring(lTitleCode) + L" status=" +
                    std::to_wstring(lDispStatus) + L" text=" + strAddMsg);
}

std::wstring CertifyCommand::MaskedPassword(const std::wstring &strPassword)
{
    if (strPassword.empty()) return L"(empty)";
    return L"(" + std::to_wstring(strPassword.size()) + L" chars, sha256 " + Utf8Hash(strPassword) + L")";
}

bool CertifyCommand::ParseOptions()
{
    for (size_t i = 3; i < m_vecArgs.size(); ++i) {
        const std::wstring &strOption = m_vecArgs[i];
        bool bHasValue = i + 1 < m_vecArgs.size();
        const std::wstring strValue = bHasValue ? m_vecArgs[i + 1] : std::wstring();
        DWORD dwValue = 0;
        if ((strOption == L"--onetime" || strOption == L"--pattern") && bHasValue) {
            m_bOnetime = true;
            m_strOnetime = strValue;
            ++i;
        } else if (strOption == L"--profile-password") m_bProfilePassword = m_bOnetime = true;
        else if (strOption == L"--report") m_bReport = true;
        else if (strOption == L"--connect-error") m_bReport = m_bConnectError = true;
        else if (strOption == L"--bios-serial" && bHasValue) m_bBiosSerial = true, m_strBiosSerial = strValue, ++i;
        else if (strOption == L"--log-level" && ClientOptions::ParseNumber(strValue, dwValue))
            TraceLog::GetInstance().SetLogLevel(dwValue), ++i;
        else if (strOption == L"--cancel-after" && ClientOptions::ParseNumber(strValue, dwValue)) m_dwCancelAfterMs = dwValue, ++i;
        else {
            ConsoleOut::Err(L"NolvexConnect: certify: option not understood: " + strOption);
            return false;
        }
    }
    return true;
}

int CertifyCommand::Run()
{
    LOG_SCOPE();
    wchar_t *pEnd = nullptr;
    if (m_vecArgs.size() < 3 || m_vecArgs[0].empty() ||
        (m_lIndex = wcstol(m_vecArgs[0].c_str(), &pEnd, 10), *pEnd != L'\0')) {
        ConsoleOut::Err(L"NolvexConnect: certify INDEX ID PASSWORD [--onetime PW | --pattern PATTERN | "
                        L"--profile-password] [--report | --connect-error] [--bios-serial TEXT] [--cancel-after MS] [--log-level N]");
        return TestClientApp::EXIT_USAGE;
    }
    m_strID = m_vecArgs[1];
    m_strPassword = m_vecArgs[2];
    if (!ParseOptions()) return TestClientApp::EXIT_USAGE;
    TerminalProfile &profile = TerminalProfile::GetInstance();
    if (!profile.GetFilePath().empty()) Line(L"profile_loaded", profile.ProfileLoad() ? L"1" : L"0");
    CertificationSeams seams;
    seams.pNotifyHook = this;
    if (m_bBiosSerial) {
        std::wstring strSerial = m_strBiosSerial;
        seams.pfnCreateOSInformation = [strSerial]() -> OSInformation * {
            WinOSInformation::Seams osSeams;
            osSeams.pfnBiosSerial = [strSerial]() { return strSerial; };
            return new (std::nothrow) WinOSInformation(osSeams);
        };
    }
    std::unique_ptr<Certification> pCert(GetCertification(m_lIndex, m_strID, m_strPassword, seams));
    if (!pCert) {
        Line(L"certification", L"none");
        return TestClientApp::EXIT_SENT;
    }
    Line(L"certification", ClassName(*pCert));
    return Certify(*pCert);
}

void CertifyCommand::PrintErrInfo(const std::wstring &strPrefix, const ErrInfo &err)
{
    Line(strPrefix + L"ErrCode", std::to_wstring(err.ErrCode));
    Line(strPrefix + L"DetailCode", std::to_wstring(err.DetailCode));
    Line(strPrefix + L"ErrMsg", err.ErrMsg);
    Line(strPrefix + L"Publicher", std::to_wstring(err.Publicher));
    Line(strPrefix + L"ReloadProfile", err.ReloadProfile ? L"1" : L"0");
}

int CertifyCommand::Certify(Certification &cert)
{
    StartCancel(cert);
    ErrInfo err;
    DWORD dwStart = GetTickCount();
    long lPanel = cert.GetNextPanel(&err);
    Line(L"panel_ms", std::to_wstring(GetTickCount() - dwStart));
    Line(L"panel", std::to_wstring(lPanel));
    PrintErrInfo(L"panel.", err);
    long lOnetime = 0;
    if (m_bOnetime) {
        lOnetime = cert.OnetimePasswordCert(m_strOnetime, false, m_bProfilePassword);
        Line(L"onetime_result", std::to_wstring(lOnetime));
    }
    // As the connection: a refused password ends the attempt before the credentials.
    if (lOnetime == 0) PrintCertInfo(cert, err);
    if (m_bReport) {
        DWORD dwReportStart = GetTickCount();
        long lReport = cert.GetErrInfo(&err, m_bConnectError);
        Line(L"errinfo_ms", std::to_wstring(GetTickCount() - dwReportStart));
        Line(L"errinfo_result", std::to_wstring(lReport));
        PrintErrInfo(L"", err);
    }
    EndCancel();
    return TestClientApp::EXIT_SENT;
}

void CertifyCommand::PrintCertInfo(Certification &cert, ErrInfo &err)
{
    CertInfo info;
    long lResult = cert.GetCertInfo(info, &err);
    Line(L"certinfo_result", std::to_wstring(lResult));
    Line(L"ID", info.ID);
    Line(L"Password", MaskedPassword(info.Password));
    Line(L"Rand", info.Rand);
    PrintErrInfo(L"certinfo.", err);
}

DWORD WINAPI CertifyCommand::CancelThread(LPVOID pParam)
{
    auto *pSelf = static_cast<CertifyCommand *>(pParam);
    Sleep(pSelf->m_dwCancelAfterMs);
    DWORD dwStart = GetTickCount();
    ConsoleOut::Out(L"cancel requested");
    pSelf->m_pCancelTarget->CancelCertification();
    ConsoleOut::Out(L"cancel_ms=" + std::to_wstring(GetTickCount() - dwStart));
    return 0;
}

void CertifyCommand::StartCancel(Certification &cert)
{
    if (m_dwCancelAfterMs == INFINITE) return;
    m_pCancelTarget = &cert;
    m_hCancelThread = CreateThread(nullptr, 0, &CertifyCommand::CancelThread, this, 0, nullptr);
    if (!m_hCancelThread) LOG_API_ERROR(L"CreateThread", GetLastError());
}

void CertifyCommand::EndCancel()
{
    if (!m_hCancelThread) return;
    if (WaitForSingleObject(m_hCancelThread, INFINITE) == WAIT_FAILED) LOG_API_ERROR(L"WaitForSingleObject", GetLastError());
    CloseHandle(m_hCancelThread);
    m_hCancelThread = nullptr;
}
