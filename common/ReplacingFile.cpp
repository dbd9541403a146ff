#include "ReplacingFile.h"
#include "Log.h"

ReplacingFile::~ReplacingFile()
{
    Abandon();
}

bool ReplacingFile::Open(const std::wstring &strPath, const std::wstring &strTempPath)
{
    Abandon();
    m_strPath = strPath;
    LOGWRITE(LOG_DEBUG, L"[API Call] CreateFileW [%s]", strTempPath.c_str());
    m_hFile.Reset(CreateFileW(strTempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (!m_hFile) {
        LOG_API_ERROR(L"CreateFileW", GetLastError());
        return false;
    }
    m_strTempPath = strTempPath;
    return true;
}

bool ReplacingFile::Write(const void *pData, DWORD dwSize)
{
    DWORD dwWritten = 0;
    if (!m_hFile) {
        LOGWRITE(LOG_ERROR, L"No file is open to write [%s]", m_strPath.c_str());
        return false;
    }
    if (dwSize == 0) return true;
    if (!WriteFile(m_hFile.Get(), pData, dwSize, &dwWritten, nullptr) || dwWritten != dwSize) {
        DWORD dwErr = GetLastError();
        LOG_API_ERROR(L"WriteFile", dwErr != ERROR_SUCCESS ? dwErr : static_cast<DWORD>(ERROR_WRITE_FAULT));
        Abandon();
        return false;
    }
    return true;
}

bool ReplacingFile::Commit(Durability durability)
{
    if (!m_hFile) {
        LOGWRITE(LOG_ERROR, L"No file is open to replace [%s]", m_strPath.c_str());
        return false;
    }
    if (durability == FLUSH_TO_DISK && !FlushFileBuffers(m_hFile.Get())) {
        LOG_API_ERROR(L"FlushFileBuffers", GetLastError());
        Abandon();
        return false;
    }
    if (!CloseHandle(m_hFile.Release())) {
        // A failed close can mean the bytes never reached the disk.
        LOG_API_ERROR(L"CloseHandle", GetLastError());
        Abandon();
        return false;
    }
    DWORD dwFlags = MOVEFILE_REPLACE_EXISTING | (durability == FLUSH_TO_DISK ? MOVEFILE_WRITE_THROUGH : 0);
    LOGWRITE(LOG_DEBUG, L"[API Call] MoveFileExW [%s] -> [%s]", m_strTempPath.c_str(), m_strPath.c_str());
    if (!MoveFileExW(m_strTempPath.c_str(), m_strPath.c_str(), dwFlags)) {
        LOG_API_ERROR(L"MoveFileExW", GetLastError());
        Abandon();
        return false;
    }
    m_strTempPath.clear();
    return true;
}

void ReplacingFile::Abandon()
{
    m_hFile.Reset();
    if (m_strTempPath.empty()) return;
    if (!DeleteFileW(m_strTempPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        LOG_API_ERROR(L"DeleteFileW", GetLastError());
    m_strTempPath.clear();
}
