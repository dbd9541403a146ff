#pragma once
// The message id that a new profile's notice (category, info code) shows, per operation and
// whether the device had no profile before the exchange. First match wins; no match gives 0.
#include <string>

class RegistSuccessCodeTable {
public:
    static long Lookup(const std::wstring &strCategory, const std::wstring &strInfoCode,
                       const std::wstring &strOperation, bool bCreateProfile);
};
