#pragma once
// Running a coder the way callers do (size query, then a buffer of exactly that size, with a
// guard area behind it) and viewing buffers as text; shared by every test that runs a coder.
#include "Coding.h"
#include <memory>
#include <string>
#include <vector>

struct CoderRun {
    long lNeeded = 0;   // answer of the size query
    long lResult = 0;   // answer of the real call
    std::vector<BYTE> output;
};

inline std::vector<BYTE> BytesOf(const std::string &str)
{
    return std::vector<BYTE>(str.begin(), str.end());
}

// UTF-16 code units of the text as bytes, without a terminating zero.
inline std::vector<BYTE> UnitsOf(const std::wstring &str)
{
    std::vector<BYTE> bytes;
    for (wchar_t ch : str) {
        bytes.push_back(static_cast<BYTE>(ch & 0xFF));
        bytes.push_back(static_cast<BYTE>(ch >> 8));
    }
    return bytes;
}

// One byte value per UTF-16 unit, the Base64 coders' input form.
inline std::vector<BYTE> ByteUnitsOf(const std::vector<BYTE> &data)
{
    std::vector<BYTE> units;
    for (BYTE b : data) {
        units.push_back(b);
        units.push_back(0);
    }
    return units;
}

// Text of a UTF-16 buffer up to its first zero unit or its end.
inline std::wstring TextOf(const std::vector<BYTE> &bytes, size_t nBytes)
{
    std::wstring str;
    size_t n = nBytes < bytes.size() ? nBytes : bytes.size();
    for (size_t i = 0; i + 2 <= n; i += 2) {
        wchar_t ch = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (ch == 0) break;
        str.push_back(ch);
    }
    return str;
}

// The output buffer gets a guard area behind the size asked for, to catch writes past it.
const size_t kGuardBytes = 64;
const BYTE kGuardValue = 0xCD;

inline CoderRun RunCoder(Coding &coding, bool bEncode, const std::vector<BYTE> &input,
                         const std::wstring &strKey = L"")
{
    CoderRun run;
    static const BYTE bEmpty = 0;
    const BYTE *pbInput = input.empty() ? &bEmpty : input.data();
    DWORD dwSize = static_cast<DWORD>(input.size());
    run.lNeeded = bEncode ? coding.Encode(pbInput, dwSize, nullptr, strKey)
                          : coding.Decode(pbInput, dwSize, nullptr, strKey);
    if (run.lNeeded < 0) {
        run.lResult = run.lNeeded;
        return run;
    }
    run.output.assign(static_cast<size_t>(run.lNeeded) + kGuardBytes, kGuardValue);
    run.lResult = bEncode ? coding.Encode(pbInput, dwSize, run.output.data(), strKey)
                          : coding.Decode(pbInput, dwSize, run.output.data(), strKey);
    return run;
}

inline bool GuardIntact(const CoderRun &run)
{
    for (size_t i = static_cast<size_t>(run.lNeeded); i < run.output.size(); ++i) {
        if (run.output[i] != kGuardValue) return false;
    }
    return true;
}

inline std::unique_ptr<Coding> MakeCoder(int iCodeType)
{
    return std::unique_ptr<Coding>(Coding::GetCode(iCodeType));
}
