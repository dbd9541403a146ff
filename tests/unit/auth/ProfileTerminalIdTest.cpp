// The trace log masks every braced value but writes the terminal id encoded, which it can only do
// once it knows the id: a profile load tells it.
#include "ProfileTestHelp.h"
#include "TestFiles.h"
#include "TraceLog.h"
#include <gtest/gtest.h>

namespace {
const wchar_t kSampleTerminalId[] = L"T20261208-0042";
const wchar_t kMasked[] = L"*****";

std::wstring LastLogLineWith(const std::wstring &strMarker)
{
    TraceLog &log = TraceLog::GetInstance();
    std::vector<std::wstring> vecLines = ReadLogLines(log.GetFolder() + log.GetFileName());
    for (auto it = vecLines.rbegin(); it != vecLines.rend(); ++it)
        if (it->find(strMarker) != std::wstring::npos) return *it;
    return std::wstring();
}

std::wstring LogTheId(const wchar_t *pszMarker)
{
    TraceLog::GetInstance().Write(LOG_INFO, L"t.cpp", L"T::T", 1, L"%s {%s}", pszMarker, kSampleTerminalId);
    return LastLogLineWith(pszMarker);
}
}   // namespace

TEST(ProfileTerminalIdTest, LoadedProfileMakesTheLogWriteItsTerminalIdEncoded)
{
    std::wstring strBefore = LogTheId(L"[before-load]");
    ASSERT_FALSE(strBefore.empty());
    EXPECT_NE(std::wstring::npos, strBefore.find(kMasked)) << strBefore;

    TestFolder folder;
    ASSERT_TRUE(WriteProfile(folder / TerminalProfile::FILE_NAME, SampleProfileText()));
    TerminalProfile profile(ProfileSeams(folder.Path()));
    ASSERT_TRUE(profile.ProfileLoad(folder / TerminalProfile::FILE_NAME));

    std::wstring strAfter = LogTheId(L"[after-load]");
    ASSERT_FALSE(strAfter.empty());
    EXPECT_EQ(std::wstring::npos, strAfter.find(kMasked)) << strAfter;
    EXPECT_EQ(std::wstring::npos, strAfter.find(kSampleTerminalId)) << strAfter;
    EXPECT_NE(std::wstring::npos, strAfter.find(L"[after-load] {")) << strAfter;
}
