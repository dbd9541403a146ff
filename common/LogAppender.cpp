#include "LogAppender.h"

DWORD LogAppender::Open(const std::wstring &strPath, bool bShared)
{
    Close();
    m_strPath = strPath;
    m_bShared = bShared;
    return Reopen();
}

DWORD LogAppender::Reopen()
{
    Close();
    // Appending only: every write goes to the end of the file, whoever else writes it.
    m_hFile.Reset(CreateFileW(m_strPath.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_hFile.IsValid()) return GetLastError();
    if (m_bShared) m_turns.Attach(m_strPath);   // without the section the writes go without turns
    return 0;
}

void LogAppender::Close()
{
    m_turns.Detach();
    m_hFile.Reset();
}

DWORD LogAppender::Append(const std::wstring &strText)
{
    if (!m_hFile.IsValid()) return ERROR_INVALID_HANDLE;
    const DWORD dwBytes = (DWORD)(strText.size() * sizeof(wchar_t));
    const bool bTurn = m_turns.Acquire();
    DWORD dwWritten = 0;
    BOOL bOk = WriteFile(m_hFile.Get(), strText.data(), dwBytes, &dwWritten, nullptr);
    DWORD dwError = bOk ? 0 : GetLastError();
    if (bTurn) m_turns.Release();
    if (dwError == 0 && dwWritten != dwBytes) dwError = ERROR_WRITE_FAULT;
    return dwError;
}
