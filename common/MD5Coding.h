#pragma once
// MD5 digest of the input bytes as 32 lower-case hexadecimal characters of UTF-16 text and a
// zero unit. The result is the output's byte count with the zero unit (also for a null output).
// There is no decoding.
#include "Coding.h"

class MD5Coding : public Coding {
public:
    long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
    // Always -1: a digest cannot be reversed.
    long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
};
