#pragma once
// Results handed to the caller live in one local allocation each, freed with WTSFreeMemory, as the
// system library does. Templates over the character type serve the "W" and "A" entry points.
#include "SimText.h"
#include "WtsSessionTable.h"
#include <windows.h>
#include <wtsapi32.h>
#include <cstring>
#include <string>
#include <vector>

class WtsMemory {
public:
    static std::wstring Encode(const std::wstring &str, wchar_t) { return str; }
    static std::string Encode(const std::wstring &str, char) { return SimText::ToAnsi(str); }

    // The session array followed by its strings; nullptr when out of memory.
    template <typename Info, typename Char>
    static Info *PackSessions(const std::vector<WtsSession> &vecSessions)
    {
        std::vector<std::basic_string<Char>> vecNames;
        size_t nBytes = vecSessions.size() * sizeof(Info);
        for (const WtsSession &session : vecSessions) {
            vecNames.push_back(Encode(session.strWinStation, Char()));
            nBytes += (vecNames.back().size() + 1) * sizeof(Char);
        }
        Info *pInfo = static_cast<Info *>(LocalAlloc(LPTR, nBytes));
        if (pInfo == nullptr) return nullptr;
        Char *pText = reinterpret_cast<Char *>(pInfo + vecSessions.size());
        for (size_t i = 0; i < vecSessions.size(); ++i) {
            pInfo[i].SessionId = vecSessions[i].dwId;
            pInfo[i].State = vecSessions[i].state;
            pInfo[i].pWinStationName = pText;
            memcpy(pText, vecNames[i].c_str(), (vecNames[i].size() + 1) * sizeof(Char));
            pText += vecNames[i].size() + 1;
        }
        return pInfo;
    }

    // A zero-terminated string; the byte count includes the terminator.
    template <typename Char>
    static void *PackString(const std::wstring &str, DWORD *pdwBytes)
    {
        std::basic_string<Char> strOut = Encode(str, Char());
        *pdwBytes = static_cast<DWORD>((strOut.size() + 1) * sizeof(Char));
        return PackBytes(strOut.c_str(), *pdwBytes);
    }

    template <typename T>
    static void *PackValue(const T &value, DWORD *pdwBytes)
    {
        *pdwBytes = sizeof(T);
        return PackBytes(&value, sizeof(T));
    }

    static void *PackBytes(const void *pData, DWORD dwBytes)
    {
        void *p = LocalAlloc(LMEM_FIXED, dwBytes);
        if (p != nullptr) memcpy(p, pData, dwBytes);
        return p;
    }
};
