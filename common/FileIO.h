#pragma once
// The one door to files and folders. Holds at most one open file (the trace log's append file).
#include "ScopedHandle.h"
#include <windows.h>
#include <string>
#include <vector>

// One entry of GetFileListSubFolder. A folder entry has an empty name and its own path (ending
// with a backslash) as folder.
struct FileEntryInfo {
    std::wstring strFolder;
    std::wstring strName;
    SYSTEMTIME stCreationUTC;
    SYSTEMTIME stCreationLocal;
    SYSTEMTIME stLastWriteUTC;
    SYSTEMTIME stLastWriteLocal;
};

class FileIO {
public:
    FileIO();
    ~FileIO();
    FileIO(const FileIO &) = delete;
    FileIO &operator=(const FileIO &) = delete;

    // Opens for appending: write, create if missing, no truncation, others may only read,
    // write-through. Closes a file still open first. Non-zero when opened.
    int FileOpen(const std::wstring &strPath);
    // Appends the bytes at the end of the open file. Raises NolvexException
    // ("FileIO Err : File is not Opened") when no file is open or the write fails.
    void AppendWrite(const void *pData, DWORD dwSize);
    void FileClose();
    bool IsOpen() const { return m_hFile.IsValid(); }

    // 1 deleted, 0 on failure.
    int RemoveFile2(const std::wstring &strPath);
    bool isExistsPath(const std::wstring &strPath);
    // Creates the folder and every missing parent: 0 on success (also when it already exists),
    // else the system error code.
    DWORD MakeFolder(const std::wstring &strPath);

    void GetFileListSubFolder(const std::wstring &strFolder, const std::wstring &strPattern,
                              std::vector<FileEntryInfo> &vecList, bool bSubFolder);
    // The same, returning the number of entries in the list.
    int GetFileList(const std::wstring &strFolder, const std::wstring &strPattern,
                    std::vector<FileEntryInfo> &vecList, bool bSubFolder);

private:
    static std::wstring WithBackslash(const std::wstring &strFolder);
    static FileEntryInfo MakeEntry(const std::wstring &strFolder, const std::wstring &strName,
                                   const WIN32_FIND_DATAW &fd);
    static void ToSystemTimes(const FILETIME &ftUTC, SYSTEMTIME &stUTC, SYSTEMTIME &stLocal);
    // Calls the callback for every entry of the search except "." and "..".
    template <typename Callback>
    void ForEachEntry(const std::wstring &strSearch, Callback callback);
    void AddSubFolder(const std::wstring &strFolder, const std::wstring &strName,
                      const WIN32_FIND_DATAW &fd, const std::wstring &strPattern,
                      std::vector<FileEntryInfo> &vecList);
    DWORD CreateOneFolder(const std::wstring &strPath);

    ScopedFileHandle m_hFile;
    DWORD m_dwLastOpenError;
};
