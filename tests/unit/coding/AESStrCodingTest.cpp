#include "AESStrCoding.h"
#include "CoderRun.h"
#include <gtest/gtest.h>

class AESStrCodingTest : public ::testing::Test {
protected:
    static CoderRun Text(const std::vector<BYTE> &plain, const std::wstring &strKey = kKey)
    {
        AESStrCoding coding;
        return RunCoder(coding, true, plain, strKey);
    }
    static std::vector<BYTE> TextBytes(const CoderRun &run)
    {
        return std::vector<BYTE>(run.output.begin(), run.output.begin() + run.lResult);
    }
    static const std::wstring kKey;
};
const std::wstring AESStrCodingTest::kKey = L"Lr7QvN2xKp4Tb";

TEST_F(AESStrCodingTest, TextIsTheBase64OfTheAESCipher)
{
    std::vector<BYTE> data = UnitsOf(L"user0001");
    CoderRun text = Text(data);
    ASSERT_GT(text.lResult, 0);
    EXPECT_EQ(text.lNeeded, text.lResult) << "size query answers the bytes written";
    EXPECT_TRUE(GuardIntact(text));
    CoderRun aes = RunCoder(*MakeCoder(0), true, data, kKey);
    CoderRun raw = RunCoder(*MakeCoder(1), false, TextBytes(text));
    ASSERT_EQ(aes.lResult, raw.lResult);
    EXPECT_EQ(std::vector<BYTE>(aes.output.begin(), aes.output.begin() + aes.lResult),
              std::vector<BYTE>(raw.output.begin(), raw.output.begin() + raw.lResult));
}

TEST_F(AESStrCodingTest, LongTextIsOneLineOfBase64)
{
    CoderRun text = Text(std::vector<BYTE>(500, 'x'));
    ASSERT_EQ(static_cast<long>((512 + 2) / 3 * 4 * 2), text.lResult);
    EXPECT_EQ(text.lNeeded, text.lResult);
    std::wstring str = TextOf(text.output, text.lResult);
    EXPECT_EQ(static_cast<size_t>(text.lResult / 2), str.size());
    EXPECT_EQ(std::wstring::npos, str.find_first_of(L"\r\n"));
}

TEST_F(AESStrCodingTest, RoundTripRestoresTheBytes)
{
    AESStrCoding coding;
    for (size_t nSize : {0u, 1u, 16u, 33u, 1000u}) {
        std::vector<BYTE> data(nSize);
        for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<BYTE>(i);
        CoderRun text = Text(data);
        std::vector<BYTE> input = TextBytes(text);
        input.push_back(0);   // a terminating zero unit may come along
        input.push_back(0);
        CoderRun plain = RunCoder(coding, false, input, kKey);
        ASSERT_EQ(static_cast<long>(nSize), plain.lResult) << nSize << " bytes";
        EXPECT_EQ(data, std::vector<BYTE>(plain.output.begin(), plain.output.begin() + nSize));
        EXPECT_TRUE(GuardIntact(plain));
    }
}

TEST_F(AESStrCodingTest, CutOrForeignTextFails)
{
    AESStrCoding coding;
    std::vector<BYTE> input = TextBytes(Text(UnitsOf(L"user0001")));
    std::vector<BYTE> cut(input.begin(), input.begin() + input.size() / 2);
    EXPECT_LT(RunCoder(coding, false, cut, kKey).lResult, 0);
    EXPECT_LT(RunCoder(coding, false, UnitsOf(L"not base64 at all!"), kKey).lResult, 0);
}
