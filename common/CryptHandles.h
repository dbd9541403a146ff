#pragma once
// Owners of CryptoAPI handles (provider contexts, hashes, keys), in the manner of ScopedHandle.h.
#include "ScopedHandle.h"
#include <wincrypt.h>

struct CryptProvTraits {
    typedef HCRYPTPROV Type;
    static Type Invalid() { return 0; }
    static void Close(Type h) { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    typedef HCRYPTHASH Type;
    static Type Invalid() { return 0; }
    static void Close(Type h) { ::CryptDestroyHash(h); }
};
struct CryptKeyTraits {
    typedef HCRYPTKEY Type;
    static Type Invalid() { return 0; }
    static void Close(Type h) { ::CryptDestroyKey(h); }
};

typedef ScopedGeneric<CryptProvTraits> ScopedCryptProv;
typedef ScopedGeneric<CryptHashTraits> ScopedCryptHash;
typedef ScopedGeneric<CryptKeyTraits> ScopedCryptKey;

// Certificate stores and certificate contexts (the user links crypt32).
struct CertStoreTraits {
    typedef HCERTSTORE Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CertCloseStore(h, 0); }
};
typedef ScopedGeneric<CertStoreTraits> ScopedCertStore;
struct CertContextTraits {
    typedef PCCERT_CONTEXT Type;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { ::CertFreeCertificateContext(p); }
};
typedef ScopedGeneric<CertContextTraits> ScopedCertContext;
