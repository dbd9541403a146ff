#pragma once
// The one door to files and folders: whole-file reads and writes with the encrypted file envelope,
// the UTF-8 reader, the trace log's append file and the folder operations of the module update.
// Holds at most one open file and one data buffer (the last file read).
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
    // Code type meaning "no encoding": the bytes are stored as they are.
    static const int CODE_PLAIN = 99;
    // Result of RemoveFolder when the folder cannot be listed.
    static const int REMOVE_FOLDER_NOT_LISTED = 4001;

    FileIO();
    ~FileIO();
    FileIO(const FileIO &) = delete;
    FileIO &operator=(const FileIO &) = delete;

    // Writes the file whole (created or truncated): the coding's output over the bytes, or the
    // bytes themselves for code type 99 and for code type 0 with an empty key. False when nothing
    // or not everything was written.
    bool WriteData_Encode(const std::wstring &strPath, const void *pData, DWORD dwSize,
                          const std::wstring &strKey, int iCodeType);
    // The bytes as WriteData_Encode stores them (the coding's output, or the bytes themselves for
    // code type 99 and for code type 0 with an empty key), for a writer of its own. False (logged)
    // when the coding fails.
    bool EncodeData(const void *pData, DWORD dwSize, const std::wstring &strKey, int iCodeType,
                    std::vector<BYTE> &vecOut);
    // Reads the whole file into the data buffer: its byte count, 0 on failure or for an empty file.
    DWORD ReadFile(const std::wstring &strPath);
    // ReadFile, then decoded as WriteData_Encode encoded it: the decoded byte count, 0 on failure
    // (the data buffer is then empty).
    DWORD ReadFile_Decode(const std::wstring &strPath, const std::wstring &strKey, int iCodeType);
    // ReadFile, then converted from UTF-8: the UTF-16 buffer's byte count, always twice the file's
    // (the text ends at its first zero character); 0 on failure.
    DWORD ReadFile_Utf8ToUtf16(const std::wstring &strPath);
    // The last data read, followed by two zero bytes; null when there is none.
    const BYTE *GetData() const { return static_cast<const BYTE *>(m_hData.Get()); }
    DWORD GetLength() const { return m_dwLength; }

    // Opens for appending: write, create if missing, no truncation, others may only read,
    // write-through. Closes a file still open first. Non-zero when opened.
    int FileOpen(const std::wstring &strPath);
    // Appends the bytes at the end of the open file. Raises NolvexException
    // ("FileIO Err : File is not Opened") when no file is open or the write fails.
    void AppendWrite(const void *pData, DWORD dwSize);
    void FileClose();
    bool IsOpen() const { return m_hFile.IsValid(); }

    // Deletes the file; a failure is logged only.
    void RemoveFile(const std::wstring &strPath);
    // 1 deleted, 0 on failure.
    int RemoveFile2(const std::wstring &strPath);
    bool isExistsPath(const std::wstring &strPath);
    // Creates the folder and every missing parent: 0 on success (also when it already exists),
    // else the system error code.
    DWORD MakeFolder(const std::wstring &strPath);

    // Removes the folder with everything in it: non-zero when the folder itself is gone, 0 when
    // it could not be removed, REMOVE_FOLDER_NOT_LISTED when it cannot be listed (also missing).
    int RemoveFolder(const std::wstring &strFolder);
    // 0 moved; -1 the old path is missing; -2 the new path exists; else the system error.
    long RenameFolder(const std::wstring &strOldPath, const std::wstring &strNewPath);
    // Copies the tree, leaving out names that begin with ".": 0 on success; -1 the source is
    // missing or cannot be listed; -2 the destination exists and bOverwrite is false; else the
    // error of the last failed copy (a failed sub-folder counts too).
    long CopyFolder(const std::wstring &strSource, const std::wstring &strDest, bool bOverwrite);
    // 0 copied; 1 the source is missing; 2 the destination exists and bOverwrite is false;
    // 3 the copy failed.
    int FileCopy(const std::wstring &strSource, const std::wstring &strDest, bool bOverwrite);

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
    // Calls the callback for every entry of the search except "." and "..". ERROR_SUCCESS when
    // the search ran (nothing matching included), else the error of FindFirstFile.
    template <typename Callback>
    DWORD ForEachEntry(const std::wstring &strSearch, Callback callback);
    void AddSubFolder(const std::wstring &strFolder, const std::wstring &strName,
                      const WIN32_FIND_DATAW &fd, const std::wstring &strPattern,
                      std::vector<FileEntryInfo> &vecList);

    static bool IsPlain(int iCodeType, const std::wstring &strKey);
    static DWORD WorkBufferSize(long lNeeded, DWORD dwInputSize);
    static DWORD OutputByteCount(int iCodeType, long lResult);
    static std::wstring WithoutBackslash(const std::wstring &strFolder);
    bool EncodeInto(const BYTE *pbData, DWORD dwSize, const std::wstring &strKey, int iCodeType,
                    std::vector<BYTE> &vecOut);
    bool WriteWholeFile(const std::wstring &strPath, const BYTE *pbData, DWORD dwSize);
    bool ReadWholeFile(HANDLE hFile, const std::wstring &strPath, DWORD dwSize);
    bool DecodeData(const std::wstring &strKey, int iCodeType);
    bool ConvertDataFromUtf8();
    // Makes a zeroed data buffer of dwSize bytes plus two zero bytes; false (logged) when the
    // memory cannot be had.
    bool AllocData(DWORD dwSize);
    void FreeData();
    bool DeleteOneFile(const std::wstring &strPath);
    void RemoveFolderEntry(const std::wstring &strFolder, const WIN32_FIND_DATAW &fd);
    long CopyFolderEntry(const std::wstring &strSource, const std::wstring &strDest,
                         const WIN32_FIND_DATAW &fd, bool bOverwrite);

    ScopedFileHandle m_hFile;
    DWORD m_dwLastOpenError;
    DWORD m_dwLength;
    ScopedLocal m_hData;
};
