// Test tool for the scenario tests: drives the coders of the library from the command line.
//   codetool encode|decode <code type> <key> <input file> <output file>
//       writes exactly the bytes the coder delivers (text results without their zero unit);
//       prints "result=<n>"; exit code 0 on success, 1 on a result below 0
//   codetool zip <target folder> <archive> <password>
//       prints "result=0x<code>" and "text=<GetSevenZipError text>"; exit code 0 only on success
//   codetool randkey <length>
//       prints the key
// An empty key is given as "".
#include "Coding.h"
#include "ZIPCoding.h"
#include <windows.h>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

namespace {
bool ReadAll(const wchar_t *pszPath, std::vector<BYTE> &data)
{
    FILE *pFile = _wfopen(pszPath, L"rb");
    if (pFile == nullptr) return false;
    BYTE abBuf[4096];
    size_t n;
    while ((n = fread(abBuf, 1, sizeof(abBuf), pFile)) > 0) data.insert(data.end(), abBuf, abBuf + n);
    fclose(pFile);
    return true;
}

bool WriteAll(const wchar_t *pszPath, const BYTE *pbData, size_t nSize)
{
    FILE *pFile = _wfopen(pszPath, L"wb");
    if (pFile == nullptr) return false;
    bool bOk = nSize == 0 || fwrite(pbData, 1, nSize, pFile) == nSize;
    return fclose(pFile) == 0 && bOk;
}

// Bytes of the output that a result stands for, by code type and direction.
size_t OutputBytes(int iCodeType, bool bEncode, long lResult, const BYTE *pbOutput)
{
    switch (iCodeType) {
    case Coding::CODE_BASE64:
    case Coding::CODE_BASE64URL:
        return bEncode ? static_cast<size_t>(lResult) * 2 : static_cast<size_t>(lResult);
    case Coding::CODE_MD5:
    case Coding::CODE_SHA1:
    case Coding::CODE_SHA256:
    case Coding::CODE_URL:
        return wcslen(reinterpret_cast<const wchar_t *>(pbOutput)) * 2;
    default:
        return static_cast<size_t>(lResult);
    }
}

int RunCoder(bool bEncode, int iCodeType, const wchar_t *pszKey, const wchar_t *pszIn, const wchar_t *pszOut)
{
    std::unique_ptr<Coding> coding(Coding::GetCode(iCodeType));
    if (!coding) {
        fwprintf(stderr, L"unknown code type %d\n", iCodeType);
        return 2;
    }
    std::vector<BYTE> input;
    if (!ReadAll(pszIn, input)) {
        fwprintf(stderr, L"cannot read %ls\n", pszIn);
        return 2;
    }
    BYTE bEmpty = 0;
    const BYTE *pbInput = input.empty() ? &bEmpty : input.data();
    DWORD dwSize = static_cast<DWORD>(input.size());
    std::wstring strKey(pszKey);
    long lNeeded = bEncode ? coding->Encode(pbInput, dwSize, nullptr, strKey)
                           : coding->Decode(pbInput, dwSize, nullptr, strKey);
    wprintf(L"needed=%ld\n", lNeeded);
    if (lNeeded < 0) return 1;
    // Exactly the size the coder asked for, so that a short answer shows as a fault.
    std::vector<BYTE> output(static_cast<size_t>(lNeeded) + 1);
    long lResult = bEncode ? coding->Encode(pbInput, dwSize, output.data(), strKey)
                           : coding->Decode(pbInput, dwSize, output.data(), strKey);
    wprintf(L"result=%ld\n", lResult);
    if (lResult < 0) return 1;
    size_t nBytes = OutputBytes(iCodeType, bEncode, lResult, output.data());
    if (nBytes > static_cast<size_t>(lNeeded)) {
        fwprintf(stderr, L"coder wrote %lu bytes after asking for %ld\n", static_cast<unsigned long>(nBytes), lNeeded);
        return 3;
    }
    return WriteAll(pszOut, output.data(), nBytes) ? 0 : 2;
}

int RunZip(const wchar_t *pszTarget, const wchar_t *pszArchive, const wchar_t *pszPassword)
{
    ZIPCoding zip;
    long lResult = zip.Decode(pszTarget, pszArchive, pszPassword);
    wprintf(L"result=0x%04lx\ntext=%ls\n", lResult, ZIPCoding::GetSevenZipError(lResult).c_str());
    return lResult == 0 ? 0 : 1;
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    std::wstring strCommand = argc > 1 ? argv[1] : L"";
    if ((strCommand == L"encode" || strCommand == L"decode") && argc == 6)
        return RunCoder(strCommand == L"encode", _wtoi(argv[2]), argv[3], argv[4], argv[5]);
    if (strCommand == L"zip" && argc == 5) return RunZip(argv[2], argv[3], argv[4]);
    if (strCommand == L"randkey" && argc == 3) {
        std::unique_ptr<Coding> coding(Coding::GetCode(Coding::CODE_AES));
        std::wstring strKey = coding ? coding->GetRandKey(_wtoi(argv[2])) : std::wstring();
        wprintf(L"%ls\n", strKey.c_str());
        return strKey.empty() ? 1 : 0;
    }
    fwprintf(stderr, L"usage: codetool encode|decode <type> <key> <in> <out> | zip <folder> <archive> <password> | randkey <n>\n");
    return 2;
}
