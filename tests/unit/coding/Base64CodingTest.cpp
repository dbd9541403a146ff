#include "CoderRun.h"
#include <gtest/gtest.h>

namespace {
struct Vector {
    const char *pszPlain;
    const wchar_t *pszText;
};
// RFC 4648 section 10.
const Vector kRfc4648[] = {
    {"", L""}, {"f", L"Zg=="}, {"fo", L"Zm8="}, {"foo", L"Zm9v"},
    {"foob", L"Zm9vYg=="}, {"fooba", L"Zm9vYmE="}, {"foobar", L"Zm9vYmFy"},
};
}  // namespace

class Base64Coders : public ::testing::TestWithParam<int> {
protected:
    std::wstring Encode(const std::vector<BYTE> &data, CoderRun *pRun = nullptr)
    {
        CoderRun run = RunCoder(*MakeCoder(GetParam()), true, ByteUnitsOf(data));
        if (pRun) *pRun = run;
        return run.lResult < 0 ? L"<failed>" : TextOf(run.output, run.output.size());
    }
    CoderRun Decode(const std::vector<BYTE> &input) { return RunCoder(*MakeCoder(GetParam()), false, input); }
};

TEST_P(Base64Coders, EncodeGivesTheRfc4648Texts)
{
    for (const Vector &v : kRfc4648) {
        CoderRun run;
        EXPECT_EQ(v.pszText, Encode(BytesOf(v.pszPlain), &run)) << v.pszPlain;
        EXPECT_EQ(static_cast<long>(wcslen(v.pszText)), run.lResult) << "result counts characters";
        EXPECT_EQ(run.lResult * 2 + 2, run.lNeeded) << "size query counts bytes with the zero unit";
        EXPECT_EQ(0, run.output[run.lResult * 2]);
        EXPECT_EQ(0, run.output[run.lResult * 2 + 1]);
        EXPECT_TRUE(GuardIntact(run));
    }
}

TEST_P(Base64Coders, DecodeGivesTheRfc4648Bytes)
{
    for (const Vector &v : kRfc4648) {
        CoderRun run = Decode(UnitsOf(v.pszText));
        ASSERT_EQ(static_cast<long>(strlen(v.pszPlain)), run.lResult) << v.pszPlain;
        EXPECT_EQ(run.lNeeded, run.lResult);
        EXPECT_EQ(BytesOf(v.pszPlain), std::vector<BYTE>(run.output.begin(), run.output.begin() + run.lResult));
        EXPECT_TRUE(GuardIntact(run));
    }
}

TEST_P(Base64Coders, DecodeReadsEightBitTextAndMissingPaddingAndLineBreaks)
{
    CoderRun run = Decode(BytesOf("Zm9v\r\nYmE"));
    ASSERT_EQ(5, run.lResult);
    EXPECT_EQ(BytesOf("fooba"), std::vector<BYTE>(run.output.begin(), run.output.begin() + 5));
}

TEST_P(Base64Coders, EveryByteValueSurvivesARoundTrip)
{
    std::vector<BYTE> data;
    for (int i = 0; i < 256; ++i) data.push_back(static_cast<BYTE>(255 - i));
    CoderRun enc = RunCoder(*MakeCoder(GetParam()), true, ByteUnitsOf(data));
    ASSERT_EQ(344, enc.lResult);
    CoderRun dec = Decode(std::vector<BYTE>(enc.output.begin(), enc.output.begin() + enc.lResult * 2));
    ASSERT_EQ(256, dec.lResult);
    EXPECT_EQ(data, std::vector<BYTE>(dec.output.begin(), dec.output.begin() + 256));
}

TEST_P(Base64Coders, BadInputFailsWithANegativeResult)
{
    EXPECT_LT(Decode(UnitsOf(L"Zm9v*mFy")).lResult, 0) << "character outside the alphabet";
    EXPECT_LT(Decode(UnitsOf(L"Zm9vY")).lResult, 0) << "a lone last digit";
    EXPECT_LT(Decode(UnitsOf(L"Zg==Zg==")).lResult, 0) << "data after the padding";
    std::unique_ptr<Coding> coding = MakeCoder(GetParam());
    const BYTE abWide[] = {0x41, 0x01};   // a unit above 255 carries no byte value
    EXPECT_LT(coding->Encode(abWide, 2, nullptr, L""), 0);
    const BYTE abOdd[] = {0x41, 0x00, 0x42};
    EXPECT_LT(coding->Encode(abOdd, 3, nullptr, L""), 0);
}

INSTANTIATE_TEST_SUITE_P(BothAlphabets, Base64Coders, ::testing::Values(1, 7));

class Base64Alphabets : public ::testing::Test {};

TEST_F(Base64Alphabets, StandardUsesPlusAndSlashWhereUrlUsesMinusAndUnderscore)
{
    std::vector<BYTE> units = ByteUnitsOf({0xFB, 0xFF});
    CoderRun std64 = RunCoder(*MakeCoder(1), true, units);
    CoderRun url64 = RunCoder(*MakeCoder(7), true, units);
    EXPECT_EQ(L"+/8=", TextOf(std64.output, std64.output.size()));
    EXPECT_EQ(L"-_8=", TextOf(url64.output, url64.output.size()));
}

TEST_F(Base64Alphabets, EachDecoderRefusesTheOtherAlphabet)
{
    EXPECT_LT(RunCoder(*MakeCoder(1), false, UnitsOf(L"-_8=")).lResult, 0);
    EXPECT_LT(RunCoder(*MakeCoder(7), false, UnitsOf(L"+/8=")).lResult, 0);
    CoderRun run = RunCoder(*MakeCoder(7), false, UnitsOf(L"-_8="));
    ASSERT_EQ(2, run.lResult);
    EXPECT_EQ(0xFB, run.output[0]);
    EXPECT_EQ(0xFF, run.output[1]);
}
