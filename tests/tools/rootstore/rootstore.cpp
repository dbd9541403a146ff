// rootstore add|remove FILE.der
// Adds the certificate to (or removes it from) the local machine's "Root" store, so that WinHTTP
// in this prefix trusts servers whose certificates the test CA signed. Exit code 0 on success.
#include "CryptHandles.h"
#include "ScopedHandle.h"
#include <windows.h>
#include <wincrypt.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

int Fail(const wchar_t *pszStep, DWORD dwError)
{
    fwprintf(stderr, L"rootstore: %ls failed: error %lu\n", pszStep, dwError);
    return 1;
}

bool ReadWhole(const wchar_t *pszPath, std::vector<BYTE> &vecBytes)
{
    ScopedFileHandle hFile(CreateFileW(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hFile) return false;
    DWORD dwSize = GetFileSize(hFile.Get(), nullptr);
    if (dwSize == INVALID_FILE_SIZE || dwSize == 0) return false;
    vecBytes.resize(dwSize);
    DWORD dwRead = 0;
    return ::ReadFile(hFile.Get(), vecBytes.data(), dwSize, &dwRead, nullptr) && dwRead == dwSize;
}

int Remove(HCERTSTORE hStore, PCCERT_CONTEXT pCert)
{
    PCCERT_CONTEXT pFound = CertFindCertificateInStore(hStore, kEncoding, 0, CERT_FIND_EXISTING, pCert, nullptr);
    if (pFound == nullptr) return 0;   // nothing to remove
    // CertDeleteCertificateFromStore frees the context it is given, also on failure.
    if (!CertDeleteCertificateFromStore(pFound)) return Fail(L"CertDeleteCertificateFromStore", GetLastError());
    return 0;
}

}   // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3 || (std::wstring(argv[1]) != L"add" && std::wstring(argv[1]) != L"remove")) {
        fwprintf(stderr, L"usage: rootstore add|remove FILE.der\n");
        return 2;
    }
    std::vector<BYTE> vecBytes;
    if (!ReadWhole(argv[2], vecBytes)) return Fail(L"reading the certificate", GetLastError());
    ScopedCertContext pCert(
        CertCreateCertificateContext(kEncoding, vecBytes.data(), static_cast<DWORD>(vecBytes.size())));
    if (!pCert) return Fail(L"CertCreateCertificateContext", GetLastError());
    ScopedCertStore hStore(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!hStore) return Fail(L"CertOpenStore", GetLastError());
    if (std::wstring(argv[1]) == L"remove") return Remove(hStore.Get(), pCert.Get());
    if (!CertAddCertificateContextToStore(hStore.Get(), pCert.Get(), CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
        return Fail(L"CertAddCertificateContextToStore", GetLastError());
    return 0;
}
