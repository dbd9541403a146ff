// The release engineer's tool for update folders (never shipped, runs under Windows or Wine):
//
//   nc_updatesign genkey <private key file> <public key file>   a new 2048-bit RSA key pair
//   nc_updatesign sign <private key file> <update folder>       writes <folder>\update.manifest
//   nc_updatesign verify <public key file> <update folder>      checks a folder as the service does
//
// Key files are CryptoAPI key blobs (PRIVATEKEYBLOB, PUBLICKEYBLOB). Exit codes: 0 done, 1 the
// work failed (the reason on standard error), 2 the command line was not understood.
#include "CryptHandles.h"
#include "FileSha256.h"
#include "FolderInventory.h"
#include "UpdateManifest.h"
#include "UpdateManifestText.h"
#include "UpdateSignature.h"
#include <windows.h>
#include <cstdio>
#include <string>

namespace {
const int kExitDone = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;
const DWORD kKeyBits = 2048;

int Fail(const wchar_t *pszWhat, DWORD dwErr)
{
    fwprintf(stderr, L"nc_updatesign: %ls failed: error %lu\n", pszWhat, dwErr);
    return kExitFailed;
}

int FailText(const std::wstring &strReason)
{
    fwprintf(stderr, L"nc_updatesign: %ls\n", strReason.c_str());
    return kExitFailed;
}

bool ReadBytes(const std::wstring &strPath, std::string &strBytes)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hFile) return false;
    DWORD dwSize = GetFileSize(hFile.Get(), nullptr);
    if (dwSize == INVALID_FILE_SIZE) return false;
    strBytes.assign(dwSize, '\0');
    DWORD dwRead = 0;
    return dwSize == 0 || (ReadFile(hFile.Get(), &strBytes[0], dwSize, &dwRead, nullptr) && dwRead == dwSize);
}

bool WriteBytes(const std::wstring &strPath, const std::string &strBytes)
{
    ScopedFileHandle hFile(CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!hFile) return false;
    DWORD dwWritten = 0;
    return WriteFile(hFile.Get(), strBytes.data(), (DWORD)strBytes.size(), &dwWritten, nullptr) &&
           dwWritten == strBytes.size();
}

bool ExportKey(HCRYPTKEY hKey, DWORD dwBlobType, std::string &strBlob)
{
    DWORD dwSize = 0;
    if (!CryptExportKey(hKey, 0, dwBlobType, 0, nullptr, &dwSize)) return false;
    strBlob.assign(dwSize, '\0');
    if (!CryptExportKey(hKey, 0, dwBlobType, 0, reinterpret_cast<BYTE *>(&strBlob[0]), &dwSize)) return false;
    strBlob.resize(dwSize);
    return true;
}

int GenerateKey(const std::wstring &strPrivate, const std::wstring &strPublic)
{
    ScopedCryptProv prov;
    if (!CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        return Fail(L"CryptAcquireContext", GetLastError());
    ScopedCryptKey key;
    if (!CryptGenKey(prov.Get(), AT_SIGNATURE, (kKeyBits << 16) | CRYPT_EXPORTABLE, key.Receive()))
        return Fail(L"CryptGenKey", GetLastError());
    std::string strPrivateBlob, strPublicBlob;
    if (!ExportKey(key.Get(), PRIVATEKEYBLOB, strPrivateBlob) || !ExportKey(key.Get(), PUBLICKEYBLOB, strPublicBlob))
        return Fail(L"CryptExportKey", GetLastError());
    if (!WriteBytes(strPrivate, strPrivateBlob) || !WriteBytes(strPublic, strPublicBlob))
        return Fail(L"writing the key files", GetLastError());
    return kExitDone;
}

// Signs with the private key in a key container of its own, removed again afterwards (a key
// imported into a verify-only context cannot sign with every provider).
class SigningContainer {
public:
    SigningContainer() : m_strName(L"NolvexUpdateSign-" + std::to_wstring(GetCurrentProcessId())) {}
    ~SigningContainer()
    {
        m_prov.Reset();
        HCRYPTPROV hDelete = 0;
        CryptAcquireContextW(&hDelete, m_strName.c_str(), nullptr, PROV_RSA_AES, CRYPT_DELETEKEYSET);
    }
    bool Open()
    {
        return CryptAcquireContextW(m_prov.Receive(), m_strName.c_str(), nullptr, PROV_RSA_AES, CRYPT_NEWKEYSET | CRYPT_SILENT) != FALSE;
    }
    HCRYPTPROV Get() const { return m_prov.Get(); }

private:
    std::wstring m_strName;
    ScopedCryptProv m_prov;
};

int Sign(const std::wstring &strPrivate, const std::wstring &strFolder)
{
    std::string strKeyBlob;
    if (!ReadBytes(strPrivate, strKeyBlob)) return Fail(L"reading the private key", GetLastError());
    UpdateManifestText::EntryMap entries;
    std::wstring strReason;
    if (!FolderInventory::Digest(strFolder, UpdateManifestText::FILE_NAME, entries, strReason)) return FailText(strReason);
    const std::string strBody = UpdateManifestText::ComposeBody(entries);
    SigningContainer container;
    if (!container.Open()) return Fail(L"CryptAcquireContext", GetLastError());
    ScopedCryptKey key;
    if (!CryptImportKey(container.Get(), reinterpret_cast<const BYTE *>(strKeyBlob.data()), (DWORD)strKeyBlob.size(), 0,
                        0, key.Receive()))
        return Fail(L"CryptImportKey", GetLastError());
    ScopedCryptHash hash;
    if (!CryptCreateHash(container.Get(), FileSha256::ALG_SHA256, 0, 0, hash.Receive())) return Fail(L"CryptCreateHash", GetLastError());
    if (!CryptHashData(hash.Get(), reinterpret_cast<const BYTE *>(strBody.data()), (DWORD)strBody.size(), 0))
        return Fail(L"CryptHashData", GetLastError());
    DWORD dwSize = 0;
    if (!CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0, nullptr, &dwSize)) return Fail(L"CryptSignHash", GetLastError());
    std::string strSignature(dwSize, '\0');
    if (!CryptSignHashW(hash.Get(), AT_SIGNATURE, nullptr, 0, reinterpret_cast<BYTE *>(&strSignature[0]), &dwSize))
        return Fail(L"CryptSignHash", GetLastError());
    strSignature.resize(dwSize);
    std::wstring strManifest = strFolder;
    if (strManifest.empty() || strManifest.back() != L'\\') strManifest += L'\\';
    strManifest += UpdateManifestText::FILE_NAME;
    if (!WriteBytes(strManifest, UpdateManifestText::ComposeFile(strBody, strSignature)))
        return Fail(L"writing the manifest", GetLastError());
    wprintf(L"signed %lu files\n", (unsigned long)entries.size());
    return kExitDone;
}

int Verify(const std::wstring &strPublic, const std::wstring &strFolder)
{
    std::string strKeyBlob;
    if (!ReadBytes(strPublic, strKeyBlob)) return Fail(L"reading the public key", GetLastError());
    UpdateManifest manifest(UpdateSignature(reinterpret_cast<const BYTE *>(strKeyBlob.data()), (DWORD)strKeyBlob.size()));
    std::wstring strReason;
    if (!manifest.Verify(strFolder, strReason)) return FailText(strReason);
    wprintf(L"verified\n");
    return kExitDone;
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc == 4 && lstrcmpW(argv[1], L"genkey") == 0) return GenerateKey(argv[2], argv[3]);
    if (argc == 4 && lstrcmpW(argv[1], L"sign") == 0) return Sign(argv[2], argv[3]);
    if (argc == 4 && lstrcmpW(argv[1], L"verify") == 0) return Verify(argv[2], argv[3]);
    fwprintf(stderr, L"usage: nc_updatesign genkey <private> <public> | sign <private> <folder> | verify <public> <folder>\n");
    return kExitUsage;
}
