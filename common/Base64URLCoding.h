#pragma once
// Base64 text of RFC 4648 with the URL and file name alphabet (- and _).
// Formats and results: Base64Text.h.
#include "Coding.h"

class Base64URLCoding : public Coding {
public:
    static const char ALPHABET[];
    long Encode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
    long Decode(const BYTE *pbInput, DWORD dwInputSize, BYTE *pbOutput,
                const std::wstring &strKey) override;
};
