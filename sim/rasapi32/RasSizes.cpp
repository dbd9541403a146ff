#include "RasSizes.h"

namespace {
size_t RoundUp(size_t nSize, size_t nAlign) { return (nSize + nAlign - 1) / nAlign * nAlign; }

// Vista added the correlation GUID to RASCONN, the tunnel end points and the sub-state to
// RASCONNSTATUS; Windows 7 the interface index to RASDIALPARAMS.
const size_t kVistaConnection = RoundUp(sizeof(RASCONNW) + sizeof(GUID), alignof(RASCONNW));
const size_t kTunnelEndPoint = sizeof(DWORD) + 16;
const size_t kVistaConnectStatus = RoundUp(sizeof(RASCONNSTATUSW) + 2 * kTunnelEndPoint + sizeof(DWORD),
                                           alignof(RASCONNSTATUSW));
const size_t kWin7DialParams = RoundUp(sizeof(RASDIALPARAMSW) + sizeof(DWORD), alignof(RASDIALPARAMSW));
}  // namespace

bool RasSizes::Connection(DWORD dwSize) const
{
    return dwSize == sizeof(RASCONNW) || (!m_bXp && dwSize == kVistaConnection);
}

bool RasSizes::ConnectStatus(DWORD dwSize) const
{
    return dwSize == sizeof(RASCONNSTATUSW) || (!m_bXp && dwSize == kVistaConnectStatus);
}

bool RasSizes::DialParams(DWORD dwSize) const
{
    return dwSize == sizeof(RASDIALPARAMSW) || (!m_bXp && dwSize == kWin7DialParams);
}
