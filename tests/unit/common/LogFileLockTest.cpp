#include "ChildProcess.h"
#include "LogFileLock.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
#include <string>

// The turns of the processes that append to one log file: a word in a shared section that holds
// the owner's process id.
namespace {

// A section word set as another process would set it.
class ForeignHolder {
public:
    explicit ForeignHolder(const std::wstring &strFile)
        : m_hSection(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                        LogFileLock::SectionName(strFile).c_str())),
          m_view(m_hSection.IsValid() ? MapViewOfFile(m_hSection.Get(), FILE_MAP_WRITE, 0, 0, 64) : nullptr)
    {
    }
    bool IsValid() const { return m_view.IsValid(); }
    void Hold(DWORD dwPid) { InterlockedExchange(static_cast<volatile LONG *>(m_view.Get()), (LONG)dwPid); }
    LONG Owner() const { return *static_cast<volatile LONG *>(m_view.Get()); }

private:
    ScopedHandle m_hSection;
    ScopedMapView m_view;
};

std::wstring SleeperCommand(int iSeconds)
{
    return L"\"" + ProgramFolder() + L"nc_sleeper.exe\" " + std::to_wstring(iSeconds);
}

std::wstring UniqueFile(const wchar_t *pszName)
{
    return L"C:\\logturn\\" + std::to_wstring(GetCurrentProcessId()) + L"\\" + pszName;
}

}  // namespace

TEST(LogFileLockTest, OnePathInAnyLetterCaseIsOneTurn)
{
    EXPECT_EQ(LogFileLock::SectionName(L"C:\\Users\\Ann\\Logs\\NolvexConnectLog_20300115.dat"),
              LogFileLock::SectionName(L"c:\\users\\ann\\LOGS\\nolvexconnectlog_20300115.DAT"));
    EXPECT_NE(LogFileLock::SectionName(L"C:\\Users\\Ann\\Logs\\NolvexConnectLog_20300115.dat"),
              LogFileLock::SectionName(L"C:\\Users\\Ann\\Logs\\NolvexConnectLog_20300116.dat"));

    const std::wstring strFile = UniqueFile(L"one.dat");
    LogFileLock lock;
    ASSERT_TRUE(lock.Attach(strFile));
    ForeignHolder view(strFile);
    ASSERT_TRUE(view.IsValid());
    ASSERT_TRUE(lock.Acquire());
    EXPECT_EQ((LONG)GetCurrentProcessId(), view.Owner());
    lock.Release();
    EXPECT_EQ(0, view.Owner());
}

TEST(LogFileLockTest, ATurnLeftByAnEndedProcessIsTakenOver)
{
    ChildProcess ended;
    ASSERT_TRUE(ended.Launch(SleeperCommand(0)));
    ASSERT_EQ(0, ended.Finish());   // its handle is still held here: the id is not reused meanwhile

    const std::wstring strFile = UniqueFile(L"ended.dat");
    ForeignHolder holder(strFile);
    ASSERT_TRUE(holder.IsValid());
    holder.Hold(ended.Pid());
    LogFileLock lock;
    ASSERT_TRUE(lock.Attach(strFile));
    DWORD dwStart = GetTickCount();
    ASSERT_TRUE(lock.Acquire());
    EXPECT_LT(GetTickCount() - dwStart, 2000u) << "taken over only at the bound";
    EXPECT_EQ((LONG)GetCurrentProcessId(), holder.Owner());
    lock.Release();
}

TEST(LogFileLockTest, ALiveHolderIsPassedByAfterTheBoundAndKeepsItsTurn)
{
    ChildProcess alive;
    ASSERT_TRUE(alive.Launch(SleeperCommand(60)));
    const std::wstring strFile = UniqueFile(L"alive.dat");
    ForeignHolder holder(strFile);
    ASSERT_TRUE(holder.IsValid());
    holder.Hold(alive.Pid());
    LogFileLock lock;
    ASSERT_TRUE(lock.Attach(strFile));
    EXPECT_FALSE(lock.Acquire());   // bounded: the caller then writes without its turn
    lock.Release();                 // not ours to clear
    EXPECT_EQ((LONG)alive.Pid(), holder.Owner());
    alive.End();
}
