#pragma once
// The one fixture of FileIO's tests: a fresh folder per test and small file helpers.
#include "FileIO.h"
#include "LockedFile.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
#include <string>

class FileIOTest : public ::testing::Test {
protected:
    std::wstring PathOf(const std::wstring &strName) const { return m_folder.Path() + strName; }
    static void Append(FileIO &file, const std::string &strBytes)
    {
        file.AppendWrite(strBytes.data(), (DWORD)strBytes.size());
    }
    // Writes the bytes through the envelope.
    static bool Write(FileIO &file, const std::wstring &strPath, const std::string &strBytes,
                      const std::wstring &strKey, int iCodeType)
    {
        return file.WriteData_Encode(strPath, strBytes.data(), (DWORD)strBytes.size(), strKey, iCodeType);
    }
    // The data buffer as bytes (its length), empty when there is none.
    static std::string DataOf(const FileIO &file)
    {
        if (file.GetData() == nullptr) return std::string();
        return std::string(reinterpret_cast<const char *>(file.GetData()), file.GetLength());
    }
    void MakeDir(const std::wstring &strName) const { CreateDirectoryW(PathOf(strName).c_str(), nullptr); }
    TestFolder m_folder;
};
