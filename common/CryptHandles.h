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
