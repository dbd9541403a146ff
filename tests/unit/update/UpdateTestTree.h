#pragma once
// Folder trees of the update tests: written from a list, read back whole (every file's bytes and
// read-only flag, every folder), compared as a whole, and signed with the development key.
#include "ChildProcess.h"
#include "TestFiles.h"
#include "TraceLog.h"
#include <windows.h>
#include <map>
#include <string>

// Relative path -> content; a folder is a path ending with a backslash (content unused).
typedef std::map<std::wstring, std::string> Tree;

inline bool WriteTree(const std::wstring &strRoot, const Tree &tree)
{
    CreateDirectoryW(strRoot.c_str(), nullptr);
    for (const auto &item : tree) {
        std::wstring strPath = strRoot + L"\\" + item.first;
        // Every parent folder first.
        for (size_t n = strPath.find(L'\\', strRoot.size() + 1); n != std::wstring::npos; n = strPath.find(L'\\', n + 1))
            CreateDirectoryW(strPath.substr(0, n).c_str(), nullptr);
        if (!item.first.empty() && item.first.back() == L'\\') continue;
        if (!WriteBytes(strPath, item.second)) return false;
    }
    return true;
}

inline void ReadTreeInto(const std::wstring &strRoot, const std::wstring &strRelative, Tree &tree)
{
    const std::wstring strFolder = strRelative.empty() ? strRoot : strRoot + L"\\" + strRelative;
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((strFolder + L"\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring strName = fd.cFileName;
        if (strName == L"." || strName == L"..") continue;
        std::wstring strChild = strRelative.empty() ? strName : strRelative + L"\\" + strName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[strChild + L"\\"] = std::string();
            ReadTreeInto(strRoot, strChild, tree);
        } else {
            std::string strFlag = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? "[ro]" : "";
            tree[strChild] = strFlag + ReadBytes(strRoot + L"\\" + strChild);
        }
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
}

// The tree as it is on disk; read-only files carry "[ro]" before their bytes.
inline Tree ReadTree(const std::wstring &strRoot)
{
    Tree tree;
    ReadTreeInto(strRoot, std::wstring(), tree);
    return tree;
}

inline std::string TreeText(const Tree &tree)
{
    std::string strText;
    for (const auto &item : tree) {
        strText += std::string(item.first.begin(), item.first.end()) + "=" + item.second.substr(0, 40) + "\n";
    }
    return strText;
}

// Runs the signing tool over the folder with the development private key: its exit code.
inline int SignFolder(const std::wstring &strFolder, const std::wstring &strKeyName = L"dev-update-private.blob")
{
    ChildProcess tool;
    if (!tool.Launch(L"\"" + ProgramFolder() + L"nc_updatesign.exe\" sign \"" + ProgramFolder() + strKeyName + L"\" \"" +
                     strFolder + L"\""))
        return -2;
    return tool.Finish();
}

inline int MakeKeyPair(const std::wstring &strPrivate, const std::wstring &strPublic)
{
    ChildProcess tool;
    if (!tool.Launch(L"\"" + ProgramFolder() + L"nc_updatesign.exe\" genkey \"" + strPrivate + L"\" \"" + strPublic + L"\""))
        return -2;
    return tool.Finish();
}

// Lines of this run's trace log that hold the text.
inline size_t LogCount(const std::wstring &strText)
{
    TraceLog &log = TraceLog::GetInstance();
    size_t n = 0;
    for (const std::wstring &strLine : ReadLogLines(log.GetFolder() + log.GetFileName())) {
        if (strLine.find(strText) != std::wstring::npos) ++n;
    }
    return n;
}
