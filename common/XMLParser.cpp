#include "XMLParser.h"
#include "FileIO.h"
#include "Log.h"
#include "OwnerOnlySecurity.h"
#include "ReplacingFile.h"
#include <cstring>
#include <cwchar>
#include <vector>

const wchar_t *const XMLParser::KEY_UTF8 = L"UTF8_UTF16";

namespace {
const wchar_t kMutexSuffix[] = L"Mutex";
const size_t kTerminatorBytes = sizeof(wchar_t);

// What happened while the section's mutex was held: logged only after it is released, so that no
// trace log lock is ever taken inside it.
enum CopyOutcome { COPY_DONE, COPY_SECTION_TOO_SMALL, COPY_MUTEX_TIMEOUT, COPY_MUTEX_FAILED };
}  // namespace

std::wstring XMLNode::Value() const
{
    if (pValue == nullptr || pEnd == nullptr || pEnd < pValue) return std::wstring();
    return std::wstring(pValue, (size_t)(pEnd - pValue));
}

XMLParser::XMLParser() : m_nViewBytes(0)
{
}

XMLParser::~XMLParser()
{
}

void XMLParser::MapClear()
{
    m_pView.Reset();
    m_hMapping.Reset();
    m_nViewBytes = 0;
    m_strText.clear();
}

DWORD XMLParser::XMLRead(const std::wstring &strPath, const std::wstring &strMapName, const std::wstring &strKey,
                         int iCodeType)
{
    LOG_SCOPE();
    LOGWRITE(LOG_DEBUG, L"[InputInfo] FilePath is %s", strPath.c_str());
    LOGWRITE(LOG_DEBUG, L"[InputInfo] MapName is %s", strMapName.c_str());
    MapClear();
    DWORD dwBytes = 0;
    if (!LoadText(strPath, strKey, iCodeType, dwBytes)) return 0;
    if (!PublishText(strMapName)) {
        MapClear();
        return 0;
    }
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] XMLRead() return is [%lu]", dwBytes);
    return dwBytes;
}

// The text as the file gives it, up to its first zero character: the copy every search uses.
bool XMLParser::LoadText(const std::wstring &strPath, const std::wstring &strKey, int iCodeType, DWORD &dwBytes)
{
    FileIO file;
    dwBytes = strKey == KEY_UTF8 ? file.ReadFile_Utf8ToUtf16(strPath) : file.ReadFile_Decode(strPath, strKey, iCodeType);
    if (dwBytes == 0 || file.GetData() == nullptr) {
        dwBytes = 0;
        return false;
    }
    const wchar_t *pszText = reinterpret_cast<const wchar_t *>(file.GetData());
    size_t nChars = dwBytes / sizeof(wchar_t);
    m_strText.assign(pszText, wcsnlen(pszText, nChars));
    return true;
}

bool XMLParser::PublishText(const std::wstring &strMapName)
{
    OwnerOnlySecurity security;
    if (!security.Build()) return false;
    const DWORD dwSectionBytes = (DWORD)(m_strText.size() * sizeof(wchar_t) + kTerminatorBytes);
    SetLastError(ERROR_SUCCESS);
    m_hMapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, security.GetAttributes(), PAGE_READWRITE, 0,
                                        dwSectionBytes, strMapName.c_str()));
    DWORD dwErr = GetLastError();
    if (!m_hMapping.IsValid() || (dwErr != ERROR_SUCCESS && dwErr != ERROR_ALREADY_EXISTS)) {
        LOG_API_ERROR(L"XMLRead", dwErr);
        return false;
    }
    m_pView.Reset(MapViewOfFile(m_hMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!m_pView.IsValid()) {
        LOG_API_ERROR(L"XMLRead", GetLastError());
        return false;
    }
    MEMORY_BASIC_INFORMATION mbi = {};
    if (VirtualQuery(m_pView.Get(), &mbi, sizeof(mbi)) == 0) {
        LOG_API_ERROR(L"VirtualQuery", GetLastError());
        return false;
    }
    // A section that another process made first keeps the size it was made with.
    m_nViewBytes = mbi.RegionSize;
    return CopyIntoSection(strMapName, security.GetAttributes());
}

bool XMLParser::CopyIntoSection(const std::wstring &strMapName, SECURITY_ATTRIBUTES *pSecurity)
{
    std::wstring strMutexName = strMapName + kMutexSuffix;
    LOGWRITE(LOG_DEBUG, L"[OutputInfo] Mutex Name is %s", strMutexName.c_str());
    ScopedHandle hMutex(CreateMutexW(pSecurity, FALSE, strMutexName.c_str()));
    if (!hMutex.IsValid()) {
        // Also when someone else made the name first with a descriptor that keeps us out.
        LOG_API_ERROR(L"CreateMutex", GetLastError());
        return false;
    }
    const size_t nTextBytes = m_strText.size() * sizeof(wchar_t);
    CopyOutcome outcome = COPY_MUTEX_FAILED;
    DWORD dwWait = WaitForSingleObject(hMutex.Get(), SECTION_MUTEX_WAIT_MS);
    DWORD dwWaitErr = GetLastError();
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED) {
        // Held: copy and nothing else. No logging until it is released.
        if (nTextBytes + kTerminatorBytes <= m_nViewBytes) {
            BYTE *pbView = static_cast<BYTE *>(m_pView.Get());
            memcpy(pbView, m_strText.c_str(), nTextBytes);
            memset(pbView + nTextBytes, 0, kTerminatorBytes);
            outcome = COPY_DONE;
        } else {
            outcome = COPY_SECTION_TOO_SMALL;
        }
        ReleaseMutex(hMutex.Get());
    } else if (dwWait == WAIT_TIMEOUT) {
        outcome = COPY_MUTEX_TIMEOUT;
    }
    switch (outcome) {
    case COPY_DONE: return true;
    case COPY_SECTION_TOO_SMALL:
        // Searches use the private copy; the shared one is left as it is rather than overrun.
        LOGWRITE(LOG_WARN, L"The shared section %s holds %lu bytes, the text needs %lu: not copied", strMapName.c_str(),
                 (unsigned long)m_nViewBytes, (unsigned long)(nTextBytes + kTerminatorBytes));
        return true;
    case COPY_MUTEX_TIMEOUT:
        LOGWRITE(LOG_ERROR, L"Mutex %s not released within %lu ms", strMutexName.c_str(),
                 (unsigned long)SECTION_MUTEX_WAIT_MS);
        return false;
    default: LOG_API_ERROR(L"WaitForSingleObject", dwWaitErr); return false;
    }
}

int XMLParser::FindOpeningTag(const wchar_t *pFrom, const std::wstring &strName, XMLNode &node)
{
    std::wstring strTag = L"<" + strName + L">";
    const wchar_t *pFound = wcsstr(pFrom, strTag.c_str());
    if (pFound != nullptr) {
        node.pStart = pFound;
        node.pValue = pFound + strTag.size();
        return NODE_FOUND;
    }
    std::wstring strOpen = L"<" + strName;
    pFound = wcsstr(pFrom, strOpen.c_str());
    if (pFound == nullptr) {
        LOGWRITE(LOG_DEBUG, L"%s> is not found 1", strOpen.c_str());
        return NODE_NOT_FOUND;
    }
    const wchar_t *pAfter = pFound + strOpen.size();
    if (*pAfter != L' ') {
        LOGWRITE(LOG_DEBUG, L"%s> is not found 2", strOpen.c_str());
        return NODE_NOT_FOUND;
    }
    const wchar_t *pClose = wcschr(pAfter, L'>');
    if (pClose == nullptr) {
        LOGWRITE(LOG_DEBUG, L"%s> is not found 3", strOpen.c_str());
        return NODE_NOT_FOUND;
    }
    std::wstring strAttr(pAfter + 1, (size_t)(pClose - pAfter - 1));
    size_t nEquals = strAttr.find(L'=');
    std::wstring strAttrValue = nEquals == std::wstring::npos ? std::wstring() : strAttr.substr(nEquals + 1);
    node.strAttrName = strAttr.substr(0, nEquals);
    node.strAttrValue.clear();
    for (wchar_t c : strAttrValue) {
        if (c != L'"') node.strAttrValue += c;
    }
    node.pStart = pFound;
    node.pValue = pClose + 1;
    return NODE_FOUND;
}

int XMLParser::GetNextNode(const wchar_t *pFrom, const std::wstring &strName, XMLNode &node)
{
    node = XMLNode();
    if (strName.empty()) {
        LOGWRITE(LOG_ERROR, L"Node name is not specified.");
        return NODE_NOT_FOUND;
    }
    const wchar_t *pText = m_strText.c_str();
    if (pFrom == nullptr || pFrom < pText || pFrom > pText + m_strText.size()) pFrom = pText;
    int iResult = FindOpeningTag(pFrom, strName, node);
    if (iResult != NODE_FOUND) {
        node = XMLNode();
        return iResult;
    }
    // An element asked for with its attribute ("name lang=\"en\"") is closed by the name alone,
    // as the writer closes it.
    std::wstring strClosing = L"</" + strName.substr(0, strName.find(L' ')) + L">";
    const wchar_t *pEnd = wcsstr(node.pValue, strClosing.c_str());
    if (pEnd == nullptr) {
        LOGWRITE(LOG_DEBUG, L"%s is not found", strClosing.c_str());
        node = XMLNode();
        return NODE_NO_CLOSING_TAG;
    }
    node.pEnd = pEnd;
    return NODE_FOUND;
}

int XMLParser::GetSubNode(const XMLNode &parent, const std::wstring &strName, XMLNode &node)
{
    if (parent.pValue == nullptr) {
        LOGWRITE(LOG_ERROR, L"BefNode.pValue is NULL.");
        node = XMLNode();
        return NODE_NOT_FOUND;
    }
    int iResult = GetNextNode(parent.pValue, strName, node);
    if (iResult != NODE_FOUND) return iResult;
    if (parent.pEnd != nullptr && node.pStart > parent.pEnd) {
        LOGWRITE(LOG_DEBUG, L"There is no %s in the range.", strName.c_str());
        node = XMLNode();
        return NODE_NOT_FOUND;
    }
    return NODE_FOUND;
}

std::wstring XMLParser::Indent(int iIndent)
{
    return std::wstring(iIndent > 0 ? (size_t)iIndent : 0, L' ');
}

void XMLParser::StartXML()
{
    m_strDocument.clear();
    m_strLine.clear();
    m_strClosingTag.clear();
}

void XMLParser::OutOneLine(const std::wstring &strText, int iIndent)
{
    m_strDocument += Indent(iIndent) + L"<" + strText + L">\r";
}

void XMLParser::OutStartElement(const std::wstring &strName, int iIndent)
{
    m_strLine = Indent(iIndent) + L"<" + strName + L">";
    // "<Name attr="value">" closes with "</Name>".
    m_strClosingTag = L"</" + strName.substr(0, strName.find(L' ')) + L">\r";
}

void XMLParser::OutValue(const std::wstring &strValue)
{
    m_strLine += strValue;
}

void XMLParser::OutEndElement()
{
    m_strDocument += m_strLine + m_strClosingTag;
    m_strLine.clear();
    m_strClosingTag.clear();
}

void XMLParser::OutElement(const std::wstring &strName, const std::wstring &strValue, int iIndent)
{
    OutStartElement(strName, iIndent);
    OutValue(strValue);
    OutEndElement();
}

bool XMLParser::EndXML(const std::wstring &strPath, const std::wstring &strKey, int iCodeType)
{
    LOG_SCOPE();
    if (m_strDocument.empty()) {
        LOGWRITE(LOG_ERROR, L"XML is not created.");
        return false;
    }
    for (int iAttempt = 1;; ++iAttempt) {
        if (WriteReplacing(strPath, strKey, iCodeType)) return true;
        if (iAttempt >= WRITE_ATTEMPTS) break;
        Sleep(WRITE_RETRY_PAUSE_MS);
        LOGWRITE(LOG_WARN, L"Retrying to write the file [%d]", iAttempt);
    }
    LOGWRITE(LOG_ERROR, L"Failed to write XML file.");
    return false;
}

// One temporary file per process and thread, so that writers never share one.
std::wstring XMLParser::TempPathFor(const std::wstring &strPath)
{
    return strPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetCurrentThreadId()) +
           L".tmp";
}

// The old file stays whole until the new one is complete and on disk; then one move replaces it.
bool XMLParser::WriteReplacing(const std::wstring &strPath, const std::wstring &strKey, int iCodeType)
{
    std::vector<BYTE> vecCoded;
    if (!FileIO().EncodeData(m_strDocument.data(), static_cast<DWORD>(m_strDocument.size() * sizeof(wchar_t)), strKey,
                             iCodeType, vecCoded))
        return false;
    ReplacingFile file;
    return file.Open(strPath, TempPathFor(strPath)) && file.Write(vecCoded.data(), static_cast<DWORD>(vecCoded.size())) &&
           file.Commit(ReplacingFile::FLUSH_TO_DISK);
}
