#pragma once
// One interface for every encoder, cipher and hash of the system, chosen by a numeric code type.
//
// Buffers are raw bytes with byte counts. A call with a null output buffer is a size query: it
// returns the number of bytes the same call would need in the output buffer (for AES decryption,
// an upper bound), so that callers can size their buffers before encoding. Every failure returns a
// negative number; callers treat any result below 1 as failure.
#include <windows.h>
#include <string>

class Coding {
public:
    enum CodeType {
        CODE_AES = 0,
        CODE_BASE64 = 1,
        CODE_MD5 = 3,
        CODE_URL = 4,
        CODE_SHA1 = 5,
        CODE_SHA256 = 6,
        CODE_BASE64URL = 7,
        CODE_AES_STR = 8,
    };

    virtual ~Coding() {}
    virtual long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                        const std::wstring &strKey) = 0;
    virtual long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                        const std::wstring &strKey) = 0;
    // A new random key; only the AES coder makes one.
    virtual std::wstring GetRandKey(int iLength);

    // A new coder for the code type (the caller deletes it), or null for an unknown type.
    static Coding *GetCode(int iCodeType);

protected:
    // UTF-16 text of an input buffer: the code units up to the first zero unit or the byte count.
    static std::wstring TextOfInput(const BYTE *pbInput, DWORD dwInputSize);
    // Writes the text and a terminating zero unless the output is null; returns the byte count
    // including the terminating zero either way.
    static long PutText(const std::wstring &strText, BYTE *pbOutput);
};
