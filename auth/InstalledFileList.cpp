#include "InstalledFileList.h"
#include "Coding.h"
#include "FileIO.h"
#include "Log.h"
#include "RegistFormBody.h"
#include <memory>

namespace {
const wchar_t kLogsPart[] = L"\\Logs\\";
}

std::wstring InstalledFileList::Digest(const std::wstring &strPath)
{
    FileIO file;
    DWORD dwLength = file.ReadFile(strPath);
    std::unique_ptr<Coding> pCoding(Coding::GetCode(Coding::CODE_MD5));
    if (!pCoding) return std::wstring();
    static const BYTE kEmpty = 0;
    const BYTE *pbData = dwLength > 0 ? file.GetData() : &kEmpty;
    long lSize = pCoding->Encode(pbData, dwLength, nullptr, L"");
    if (lSize < 1) return std::wstring();
    std::wstring strOut(static_cast<size_t>(lSize) / sizeof(wchar_t), L'\0');
    if (pCoding->Encode(pbData, dwLength, reinterpret_cast<BYTE *>(&strOut[0]), L"") < 1) return std::wstring();
    strOut.resize(wcslen(strOut.c_str()));
    return strOut;
}

std::wstring InstalledFileList::RelativeName(const std::wstring &strBase, const std::wstring &strPath)
{
    std::wstring strRelative = strPath.substr(strBase.size());
    for (wchar_t &ch : strRelative)
        if (ch == L'\\') ch = L'/';
    return strRelative;
}

std::vector<std::wstring> InstalledFileList::Build(const std::wstring &strInstallFolder, const volatile LONG *plCancel)
{
    LOG_SCOPE();
    std::vector<std::wstring> vecEntries;
    if (strInstallFolder.empty()) return vecEntries;
    std::wstring strBase = strInstallFolder;
    if (strBase.back() != L'\\') strBase += L'\\';
    std::vector<FileEntryInfo> vecFiles;
    FileIO().GetFileListSubFolder(strBase, L"*.*", vecFiles, true);
    for (const FileEntryInfo &entry : vecFiles) {
        if (plCancel && *plCancel) break;
        if (entry.strName.empty()) continue;
        std::wstring strPath = entry.strFolder + entry.strName;
        if (strPath.find(kLogsPart, 1) != std::wstring::npos) continue;
        bool bOk = true;
        std::wstring strName = RegistFormBody::Encode(RelativeName(strBase, strPath), bOk);
        if (!bOk) continue;
        vecEntries.push_back(strName + L"*" + Digest(strPath));
    }
    if (vecEntries.empty()) LOGWRITE(LOG_INFO, L"END [No File]");
    return vecEntries;
}
