// Readers on four threads while another thread reloads the profile from two files in turn: every
// value read belongs wholly to one of the files, and so does every snapshot.
#include "ProfileTestHelp.h"
#include "TestFiles.h"
#include <gtest/gtest.h>
#include <atomic>
#include <process.h>
#include <thread>
#include <vector>

namespace {
const int kReaders = 4;
const int kReloads = 60;

// A long value made of one letter, so that a torn copy would mix letters or lengths.
std::wstring Filler(wchar_t c, size_t nLength)
{
    return std::wstring(nLength, c);
}

std::wstring VariantOf(const std::wstring &strSample, wchar_t c, size_t nLength)
{
    std::wstring strText = Replaced(strSample, L"T20261208-0042", Filler(c, nLength));
    strText = Replaced(strText, L"c0nnect-Pw", Filler(c, nLength));
    return Replaced(strText, L"Dial-up", Filler(c, nLength));
}

bool IsWhole(const std::wstring &str)
{
    return str == Filler(L'A', 300) || str == Filler(L'B', 3000);
}
}   // namespace

TEST(TerminalProfileConcurrencyTest, ReadersNeverSeeATornValueWhileAnotherThreadReloads)
{
    TestFolder folder;
    std::wstring strSample = SampleProfileText();
    ASSERT_FALSE(strSample.empty());
    std::wstring strA = folder / L"A.xml", strB = folder / L"B.xml";
    ASSERT_TRUE(WriteProfile(strA, VariantOf(strSample, L'A', 300)));
    ASSERT_TRUE(WriteProfile(strB, VariantOf(strSample, L'B', 3000)));
    TerminalProfile profile(ProfileSeams(folder.Path()));
    ASSERT_TRUE(profile.ProfileLoad(strA));

    std::atomic<bool> bStop(false);
    std::atomic<long> lBad(0), lReads(0);
    std::vector<std::thread> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.emplace_back([&]() {
            while (!bStop) {
                if (!IsWhole(profile.GetAuthTerminalID()) || !IsWhole(profile.GetNameEN(0))) ++lBad;
                TerminalProfile::Values values = profile.Snapshot();
                const std::wstring &strId = values.astrCommon[TerminalProfile::AUTH_TERMINAL_ID];
                if (!IsWhole(strId) || values.astrCommon[TerminalProfile::CONNECT_PASSWORD] != strId ||
                    values.vecConnections.size() != 3 ||
                    values.vecConnections[0].astrValues[TerminalProfile::NAME_EN] != strId)
                    ++lBad;
                ++lReads;
            }
        });
    }
    int iLoaded = 0;
    for (int i = 0; i < kReloads; ++i) iLoaded += profile.ProfileLoad(i % 2 ? strA : strB) ? 1 : 0;
    bStop = true;
    for (std::thread &t : readers) t.join();
    EXPECT_EQ(kReloads, iLoaded);
    EXPECT_EQ(0, lBad.load());
    EXPECT_GT(lReads.load(), 0);
}
