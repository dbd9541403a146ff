#include "CoderRun.h"
#include <gtest/gtest.h>

// Callers size their buffers by the size query (no output buffer). The file access used to take
// the byte count + 100, which is too small for the text codings; these cases pin down that the
// size query covers what every coder writes, for every code type and a large input.
class CodingSizeQuery : public ::testing::Test {
protected:
    static std::vector<BYTE> Input(int iCodeType, size_t nUnits)
    {
        std::vector<BYTE> data;
        for (size_t i = 0; i < nUnits; ++i) {
            // Byte values for Base64, printable text for URL coding, anything for the rest.
            BYTE b = static_cast<BYTE>(iCodeType == Coding::CODE_URL ? 'a' + i % 26 : i * 7);
            data.push_back(b);
            data.push_back(0);
        }
        return data;
    }
};

TEST_F(CodingSizeQuery, AnswerCoversWhatEveryEncoderWrites)
{
    for (int iType : {0, 1, 3, 4, 5, 6, 7, 8}) {
        std::vector<BYTE> input = Input(iType, 3000);
        CoderRun run = RunCoder(*MakeCoder(iType), true, input, L"size key");
        ASSERT_GT(run.lResult, 0) << "code type " << iType;
        EXPECT_TRUE(GuardIntact(run)) << "code type " << iType << " wrote past its answer";
    }
}

TEST_F(CodingSizeQuery, AnswerCoversWhatEveryDecoderWrites)
{
    for (int iType : {0, 1, 4, 7, 8}) {
        std::vector<BYTE> input = Input(iType, 3000);
        CoderRun enc = RunCoder(*MakeCoder(iType), true, input, L"size key");
        ASSERT_GT(enc.lResult, 0) << "code type " << iType;
        size_t nBytes = (iType == 1 || iType == 7) ? enc.lResult * 2 : enc.lResult;
        CoderRun dec = RunCoder(*MakeCoder(iType), false,
                                std::vector<BYTE>(enc.output.begin(), enc.output.begin() + nBytes),
                                L"size key");
        ASSERT_GT(dec.lResult, 0) << "code type " << iType;
        EXPECT_TRUE(GuardIntact(dec)) << "code type " << iType << " wrote past its answer";
    }
}

TEST_F(CodingSizeQuery, TextCodingsNeedMoreThanCountPlus100)
{
    for (int iType : {1, 7, 8}) {
        std::vector<BYTE> input = Input(iType, 3000);
        long lNeeded = MakeCoder(iType)->Encode(input.data(), static_cast<DWORD>(input.size()), nullptr, L"k");
        EXPECT_GT(lNeeded, static_cast<long>(input.size() + 100)) << "code type " << iType;
    }
}
