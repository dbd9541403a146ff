#include "ProfileTestHelp.h"
#include "Coding.h"
#include "FileIO.h"
#include "TestFiles.h"

const wchar_t kProfileKey[] = L"Qm7TzR2vXw9KpL4nB8sD1fG6hJ3cV5yA";

TerminalProfile::Seams ProfileSeams(const std::wstring &strFolder, const std::wstring &strKey)
{
    TerminalProfile::Seams seams;
    seams.strFolder = strFolder;
    seams.strModuleName = L"auth_tests";
    seams.pfnCreateRegInfo = [strKey]() -> AplicationInfo * { return new ProfileKeyInfo(strKey); };
    return seams;
}

std::wstring SampleProfileText()
{
    FileIO file;
    DWORD dwBytes = file.ReadFile_Utf8ToUtf16(ProgramFolder() + L"TerminalRegist-sample.xml");
    if (dwBytes == 0) return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t *>(file.GetData()));
}

bool WriteProfile(const std::wstring &strPath, const std::wstring &strText, const std::wstring &strKey)
{
    FileIO file;
    return file.WriteData_Encode(strPath, strText.data(), static_cast<DWORD>(strText.size() * sizeof(wchar_t)), strKey,
                                 Coding::CODE_AES);
}

std::wstring Replaced(std::wstring strText, const std::wstring &strFrom, const std::wstring &strTo)
{
    size_t nPos = strText.find(strFrom);
    if (nPos != std::wstring::npos) strText.replace(nPos, strFrom.size(), strTo);
    return strText;
}

std::wstring WithoutElement(const std::wstring &strText, const std::wstring &strName)
{
    size_t nStart = strText.find(L"<" + strName + L">");
    std::wstring strClose = L"</" + strName + L">";
    size_t nEnd = strText.find(strClose, nStart);
    if (nStart == std::wstring::npos || nEnd == std::wstring::npos) return strText;
    return strText.substr(0, nStart) + strText.substr(nEnd + strClose.size());
}
