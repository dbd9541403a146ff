#pragma once
// Exit codes of NolvexConnectProxyReset (docs/proxy.md). Only PROXYRESET_APPLIED means that the
// saved values are in force: a caller deletes a saved file after that code only.
enum ProxyResetExitCode {
    PROXYRESET_APPLIED = 0,
    PROXYRESET_WRONG_ARGUMENTS = 1,   // not 2 or 3 arguments: nothing was read or applied
    PROXYRESET_FILE_UNREADABLE = 2,   // the saved file is missing, unreadable or incomplete
    PROXYRESET_APPLY_FAILED = 3,      // WinINet refused the values
};
