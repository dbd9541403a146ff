#include "ZIPCoding.h"
#include "CodePageText.h"
#include "Log.h"
#include <vector>

namespace {
const char kSevenZipEntry[] = "SevenZip";
const DWORD kOutputChars = 4096;

// The archiver's result codes from 0x8005 upwards, in the library's order.
const wchar_t *const kErrorNames[] = {
    L"ERROR_DISK_SPACE", L"ERROR_READ_ONLY", L"ERROR_USER_SKIP", L"ERROR_UNKNOWN_TYPE",
    L"ERROR_METHOD", L"ERROR_PASSWORD_FILE", L"ERROR_VERSION", L"ERROR_FILE_CRC",
    L"ERROR_FILE_OPEN", L"ERROR_MORE_FRESH", L"ERROR_NOT_EXIST", L"ERROR_ALREADY_EXIST",
    L"ERROR_TOO_MANY_FILES", L"ERROR_MAKEDIRECTORY", L"ERROR_CANNOT_WRITE", L"ERROR_HUFFMAN_CODE",
    L"ERROR_COMMENT_HEADER", L"ERROR_HEADER_CRC", L"ERROR_HEADER_BROKEN", L"ERROR_ARC_FILE_OPEN",
    L"ERROR_NOT_ARC_FILE", L"ERROR_CANNOT_READ", L"ERROR_FILE_STYLE", L"ERROR_COMMAND_NAME",
    L"ERROR_MORE_HEAP_MEMORY", L"ERROR_ENOUGH_MEMORY", L"ERROR_ALREADY_RUNNING",
    L"ERROR_USER_CANCEL", L"ERROR_HARC_ISNOT_OPENED", L"ERROR_NOT_SEARCH_MODE",
    L"ERROR_NOT_SUPPORT", L"ERROR_TIME_STAMP", L"ERROR_TMP_OPEN", L"ERROR_LONG_FILE_NAME",
    L"ERROR_ARC_READ_ONLY", L"ERROR_SAME_NAME_FILE", L"ERROR_NOT_FIND_ARC_FILE",
    L"ERROR_RESPONSE_READ", L"ERROR_NOT_FILENAME", L"ERROR_TMP_COPY", L"ERROR_EOF",
    L"ERROR_ADD_TO_LARC", L"ERROR_TMP_BACK_SPACE", L"ERROR_SHARING", L"ERROR_NOT_FIND_FILE",
    L"ERROR_LOG_FILE", L"ERROR_NO_DEVICE", L"ERROR_GET_ATTRIBUTES", L"ERROR_SET_ATTRIBUTES",
    L"ERROR_GET_INFORMATION", L"ERROR_GET_POINT", L"ERROR_SET_POINT", L"ERROR_CONVERT_TIME",
    L"ERROR_GET_TIME", L"ERROR_SET_TIME", L"ERROR_CLOSE_FILE", L"ERROR_HEAP_MEMORY",
    L"ERROR_HANDLE", L"ERROR_TIME_STAMP_RANGE", L"ERROR_MAKE_ARCHIVE", L"ERROR_NOT_CONFIRM_NAME",
    L"ERROR_UNEXPECTED_EOF", L"ERROR_INVALID_END_MARK", L"ERROR_INVOLVED_LZH",
    L"ERROR_NO_END_MARK", L"ERROR_HDR_INVALID_SIZE", L"ERROR_UNKNOWN_LEVEL", L"ERROR_BROKEN_DATA",
};
const long kFirstListedError = 0x8005;
}  // namespace

ZIPCoding::ZIPCoding() : m_hSevenZip(nullptr), m_pfnSevenZip(nullptr) {}

ZIPCoding::~ZIPCoding()
{
    if (m_hSevenZip != nullptr) FreeSevenZip();
}

std::wstring ZIPCoding::GetSevenZipError(long lCode)
{
    const long lCount = static_cast<long>(sizeof(kErrorNames) / sizeof(kErrorNames[0]));
    std::wstring strText = L"7-Zip API return ";
    if (lCode == SEVENZIP_ERROR_START) return strText + L"ERROR_START";
    if (lCode >= kFirstListedError && lCode < kFirstListedError + lCount)
        return strText + kErrorNames[lCode - kFirstListedError];
    return std::wstring();
}

BOOL ZIPCoding::LoadSevenZipFunc()
{
    LOG_SCOPE();
    if (m_hSevenZip == nullptr) {
        LOGWRITE(LOG_DEBUG, L"[API Call] LoadLibrary %s", SEVENZIP_DLL);
        m_hSevenZip = LoadLibraryW(SEVENZIP_DLL);
        if (m_hSevenZip == nullptr) {
            LOG_API_ERROR(L"LoadLibrary", GetLastError());
            LOGWRITE(LOG_ERROR, L"Can't Load Library %s", SEVENZIP_DLL);
            return FALSE;
        }
    }
    m_pfnSevenZip = reinterpret_cast<SevenZipFunc>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hSevenZip, kSevenZipEntry)));
    if (m_pfnSevenZip == nullptr) {
        LOG_API_ERROR(L"GetProcAddress", GetLastError());
        LOGWRITE(LOG_ERROR, L"Can't Get Function Point");
        FreeSevenZip();
        return FALSE;
    }
    return TRUE;
}

BOOL ZIPCoding::FreeSevenZip()
{
    LOG_SCOPE();
    m_pfnSevenZip = nullptr;
    if (m_hSevenZip == nullptr) return TRUE;
    HMODULE hModule = m_hSevenZip;
    m_hSevenZip = nullptr;
    if (!FreeLibrary(hModule)) {
        LOG_API_ERROR(L"FreeLibrary", GetLastError());
        LOGWRITE(LOG_ERROR, L"Can't Unload DLL 0x%08I64x", LogHandleValue(hModule));
        LOGWRITE(LOG_ERROR, L"failure to Unload DLL");
        return FALSE;
    }
    return TRUE;
}

std::wstring ZIPCoding::BuildCommand(const std::wstring &strTargetFolder,
                                     const std::wstring &strArchivePath,
                                     const std::wstring &strPassword)
{
    // x: extract with paths, -aoa: overwrite all, -hide: no progress window.
    return L"x \"" + strArchivePath + L"\" -aoa -hide -o\"" + strTargetFolder + L"\" -p\"" +
           strPassword + L"\"";
}

long ZIPCoding::RunCommand(const std::wstring &strCommand)
{
    LOG_SCOPE();
    bool bOk = false;
    std::string strAnsi = CodePageText::FromWide(CP_ACP, strCommand, &bOk);
    // The archiver takes ANSI text only: a path or password that the code page cannot carry
    // would reach it changed (as "?"), naming another file or the wrong password.
    if (!bOk || CodePageText::ToWide(CP_ACP, strAnsi) != strCommand) {
        LOGWRITE(LOG_ERROR, L"The command cannot be given in the ANSI code page");
        return SEVENZIP_ERROR_COMMAND_NAME;
    }
    std::vector<char> output(kOutputChars + 1, '\0');
    LOGWRITE(LOG_DEBUG, L"[API Call] SevenZip");
    int iRet = m_pfnSevenZip(nullptr, strAnsi.c_str(), output.data(), kOutputChars);
    output[kOutputChars] = '\0';
    std::wstring strOutput = CodePageText::ToWide(CP_ACP, std::string(output.data()));
    LOGWRITE(LOG_DEBUG, L"[API Return] SevenZip rc:[0x%08x]", iRet);
    if (iRet != 0) {
        LOGWRITE(LOG_ERROR, L"APIError [%s] rc:[0x%08x] dll return:[%s] msg:[%s]", L"SevenZip", iRet,
                 strOutput.c_str(), GetSevenZipError(iRet).c_str());
    }
    return iRet;
}

long ZIPCoding::Decode(const std::wstring &strTargetFolder, const std::wstring &strArchivePath,
                       const std::wstring &strPassword)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Target folder is %s", strTargetFolder.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Archive is %s", strArchivePath.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] Password is {%s}", strPassword.c_str());
    // The archiver's command line has no escape for a double quote: one inside an argument
    // would end it early and let the rest pass as switches (another output folder, say).
    const std::wstring strQuote = L"\"";
    if (strTargetFolder.find(strQuote) != std::wstring::npos ||
        strArchivePath.find(strQuote) != std::wstring::npos ||
        strPassword.find(strQuote) != std::wstring::npos) {
        LOGWRITE(LOG_ERROR, L"A double quote in an argument of the archiver is refused");
        return SEVENZIP_ERROR_COMMAND_NAME;
    }
    if (!LoadSevenZipFunc()) {
        LOGWRITE(LOG_ERROR, L"Can't Load SevenZip() from DLL");
        return SEVENZIP_NOT_LOADED;
    }
    long lRet = RunCommand(BuildCommand(strTargetFolder, strArchivePath, strPassword));
    FreeSevenZip();
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Result is 0x%08x", lRet);
    return lRet;
}
