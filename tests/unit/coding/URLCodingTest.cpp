#include "CoderRun.h"
#include <gtest/gtest.h>

class URLCodingTest : public ::testing::Test {
protected:
    std::wstring Run(bool bEncode, const std::wstring &strText, long *plResult = nullptr)
    {
        CoderRun run = RunCoder(*MakeCoder(4), bEncode, UnitsOf(strText));
        if (plResult) *plResult = run.lResult;
        EXPECT_EQ(run.lNeeded, run.lResult) << "size query answers the bytes written";
        EXPECT_TRUE(GuardIntact(run));
        return run.lResult < 1 ? L"<failed>" : TextOf(run.output, run.output.size());
    }
};

TEST_F(URLCodingTest, BlankBecomesPlusAndSlashBecomesLowerCaseEscape)
{
    long lResult = 0;
    EXPECT_EQ(L"a+b%2fc", Run(true, L"a b/c", &lResult));
    EXPECT_EQ(static_cast<long>((7 + 1) * 2), lResult) << "bytes with the terminating zero";
}

TEST_F(URLCodingTest, UnreservedCharactersStayAndOthersAreEscaped)
{
    EXPECT_EQ(L"AZaz09-._~", Run(true, L"AZaz09-._~"));
    EXPECT_EQ(L"%21%2a%27%28%29%3b%3a%40%26%3d%2b%24%2c%3f%25%23%5b%5d", Run(true, L"!*'();:@&=+$,?%#[]"));
}

TEST_F(URLCodingTest, NonAsciiTextIsEscapedAsUtf8Bytes)
{
    EXPECT_EQ(L"%c3%a9t%c3%a9", Run(true, L"\u00e9t\u00e9"));
    EXPECT_EQ(L"%e3%81%82", Run(true, L"\u3042"));
}

TEST_F(URLCodingTest, DecodeReversesEncodeInEitherCase)
{
    EXPECT_EQ(L"a b/c", Run(false, L"a+b%2fc"));
    EXPECT_EQ(L"\u3042 x", Run(false, L"%E3%81%82+x"));
    const std::wstring strMixed = L"p\u00e4ss w\u00f6rd/&=?";
    EXPECT_EQ(strMixed, Run(false, Run(true, strMixed)));
}

TEST_F(URLCodingTest, DecodeKeepsAPercentWithoutTwoHexDigits)
{
    EXPECT_EQ(L"100%", Run(false, L"100%"));
    EXPECT_EQ(L"%zz%4", Run(false, L"%zz%4"));
}

TEST_F(URLCodingTest, InputEndsAtItsFirstZeroUnit)
{
    std::vector<BYTE> input = UnitsOf(L"ab");
    input.push_back(0);
    input.push_back(0);
    std::vector<BYTE> tail = UnitsOf(L"cd");
    input.insert(input.end(), tail.begin(), tail.end());
    CoderRun run = RunCoder(*MakeCoder(4), true, input);
    EXPECT_EQ(L"ab", TextOf(run.output, run.output.size()));
}
