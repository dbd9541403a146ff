#include "AttachmentFile.h"
#include "Log.h"

namespace {
const wchar_t kPartSuffix[] = L".part";
}

AttachmentFile::AttachmentFile() {}

AttachmentFile::~AttachmentFile()
{
    Abandon();
}

bool AttachmentFile::Open(const std::wstring &strPath)
{
    LOG_SCOPE();
    Abandon();
    m_strPath = strPath;
    m_strPartPath = strPath + kPartSuffix;
    LOGWRITE(LOG_DEBUG, L"[API Call] CreateFileW [%s]", m_strPartPath.c_str());
    m_hFile.Reset(CreateFileW(m_strPartPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hFile) {
        LOG_API_ERROR(L"CreateFileW", GetLastError());
        m_strPartPath.clear();
        return false;
    }
    return true;
}

bool AttachmentFile::Write(const BYTE *pbData, DWORD dwSize)
{
    DWORD dwWritten = 0;
    if (!WriteFile(m_hFile.Get(), pbData, dwSize, &dwWritten, nullptr) || dwWritten != dwSize) {
        LOG_API_ERROR(L"WriteFile", GetLastError());
        return false;
    }
    return true;
}

bool AttachmentFile::Commit()
{
    LOG_SCOPE();
    m_hFile.Reset();
    LOGWRITE(LOG_DEBUG, L"[API Call] MoveFileExW [%s] -> [%s]", m_strPartPath.c_str(), m_strPath.c_str());
    if (!MoveFileExW(m_strPartPath.c_str(), m_strPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LOG_API_ERROR(L"MoveFileExW", GetLastError());
        Abandon();
        return false;
    }
    m_strPartPath.clear();
    return true;
}

void AttachmentFile::Abandon()
{
    m_hFile.Reset();
    if (m_strPartPath.empty()) return;
    if (!DeleteFileW(m_strPartPath.c_str())) LOG_API_ERROR(L"DeleteFileW", GetLastError());
    m_strPartPath.clear();
}
