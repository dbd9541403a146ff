#pragma once
// AES (as AESCoding) carried as text: the ciphertext in Base64, one line, UTF-16 without a
// terminating zero. Used where ciphertext must sit inside text, such as the trace log.
#include "Coding.h"

class AESStrCoding : public Coding {
public:
    // Result: byte count of the UTF-16 text (no terminating zero is written); a null output
    // returns the same count. Negative: the AES result, or -20 for a failed Base64 conversion.
    long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
    // Input: the UTF-16 text (byte count; a terminating zero may be included). Result: plaintext
    // byte count; a null output returns the ciphertext size, an upper bound of it.
    long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
};
