#pragma once
// Module update of the install folder and its rollback.
#include <string>

class MonitorUpdate {
public:
    MonitorUpdate();
    ~MonitorUpdate();
    MonitorUpdate(const MonitorUpdate &) = delete;
    MonitorUpdate &operator=(const MonitorUpdate &) = delete;

    // 0 when the update of the difference folder was applied, else an error code.
    long UpdateMainProc(const std::wstring &strDiffFolderPath);
    // 0 when the previous version was restored, else an error code.
    long CopyRollback();
};
