#pragma once
// The credentials that a certification gives the connection for its gateway (GetCertInfo).
#include <string>

struct CertInfo {
    std::wstring ID;        // account sent to the gateway
    std::wstring Password;  // password sent to the gateway
    std::wstring Rand;      // random number table (pattern authentication only)
};
