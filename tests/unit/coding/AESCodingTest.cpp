#include "AESCoding.h"
#include "CoderRun.h"
#include <gtest/gtest.h>
#include <set>

class AESCodingTest : public ::testing::Test {
protected:
    static std::vector<BYTE> Pattern(size_t nSize)
    {
        std::vector<BYTE> data(nSize);
        for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<BYTE>(i * 7 + 3);
        return data;
    }
    static std::vector<BYTE> Cipher(const std::vector<BYTE> &plain, const std::wstring &strKey)
    {
        AESCoding aes;
        CoderRun run = RunCoder(aes, true, plain, strKey);
        EXPECT_GT(run.lResult, 0);
        EXPECT_TRUE(GuardIntact(run));
        if (run.lResult < 0) return std::vector<BYTE>();
        return std::vector<BYTE>(run.output.begin(), run.output.begin() + run.lResult);
    }
    static long Plain(const std::vector<BYTE> &cipher, const std::wstring &strKey, std::vector<BYTE> *pPlain = nullptr)
    {
        AESCoding aes;
        CoderRun run = RunCoder(aes, false, cipher, strKey);
        if (pPlain && run.lResult >= 0) pPlain->assign(run.output.begin(), run.output.begin() + run.lResult);
        return run.lResult;
    }
    static const std::wstring kKey;
};
const std::wstring AESCodingTest::kKey = L"Lr7QvN2xKp4Tb";

TEST_F(AESCodingTest, EmptyInputEncryptsToOnePaddedBlock)
{
    AESCoding aes;
    CoderRun run = RunCoder(aes, true, {}, kKey);
    EXPECT_EQ(16, run.lNeeded);
    EXPECT_EQ(16, run.lResult);
    std::vector<BYTE> plain = {1};
    EXPECT_EQ(0, Plain(std::vector<BYTE>(run.output.begin(), run.output.begin() + 16), kKey, &plain));
    EXPECT_TRUE(plain.empty());
}

TEST_F(AESCodingTest, SizeQueryAnswersThePaddedSize)
{
    AESCoding aes;
    for (DWORD dwSize : {1u, 15u, 16u, 17u, 100u, 4096u}) {
        std::vector<BYTE> data = Pattern(dwSize);
        EXPECT_EQ(static_cast<long>((dwSize / 16 + 1) * 16), aes.Encode(data.data(), dwSize, nullptr, kKey))
            << dwSize << " bytes";
    }
}

TEST_F(AESCodingTest, RoundTripRestoresEverySize)
{
    for (size_t nSize : {1u, 2u, 15u, 16u, 17u, 31u, 32u, 33u, 255u, 1000u, 65536u + 5}) {
        std::vector<BYTE> data = Pattern(nSize);
        std::vector<BYTE> cipher = Cipher(data, kKey);
        ASSERT_EQ((nSize / 16 + 1) * 16, cipher.size()) << nSize << " bytes";
        EXPECT_NE(data, std::vector<BYTE>(cipher.begin(), cipher.begin() + nSize));
        std::vector<BYTE> plain;
        ASSERT_EQ(static_cast<long>(nSize), Plain(cipher, kKey, &plain)) << nSize << " bytes";
        EXPECT_EQ(data, plain) << nSize << " bytes";
    }
}

TEST_F(AESCodingTest, SameKeyAndDataGiveTheSameCipherAndKeysDiffer)
{
    std::vector<BYTE> data = Pattern(40);
    EXPECT_EQ(Cipher(data, kKey), Cipher(data, kKey)) << "one fixed initialisation vector";
    EXPECT_NE(Cipher(data, kKey), Cipher(data, L"Lr7QvN2xKp4Tc"));
    EXPECT_NE(Cipher(data, kKey), Cipher(data, L""));
}

TEST_F(AESCodingTest, CipherFeedbackKeepsACommonPrefix)
{
    // Eight-bit cipher feedback: each cipher byte depends only on the bytes before it.
    std::vector<BYTE> a = Pattern(40), b = Pattern(40);
    b[25] ^= 0xFF;
    std::vector<BYTE> ca = Cipher(a, kKey), cb = Cipher(b, kKey);
    ASSERT_EQ(48u, ca.size());
    EXPECT_EQ(std::vector<BYTE>(ca.begin(), ca.begin() + 25), std::vector<BYTE>(cb.begin(), cb.begin() + 25));
    EXPECT_NE(ca[25], cb[25]);
}

TEST_F(AESCodingTest, DecodeSizeQueryAnswersTheInputSize)
{
    AESCoding aes;
    std::vector<BYTE> cipher = Cipher(Pattern(20), kKey);
    EXPECT_EQ(32, aes.Decode(cipher.data(), 32, nullptr, kKey));
}

TEST_F(AESCodingTest, TruncatedCipherFailsWithoutTouchingTheProvider)
{
    std::vector<BYTE> cipher = Cipher(Pattern(40), kKey);
    EXPECT_LT(Plain(std::vector<BYTE>(cipher.begin(), cipher.end() - 1), kKey), 0);
    EXPECT_LT(Plain(std::vector<BYTE>(cipher.begin(), cipher.begin() + 15), kKey), 0);
    EXPECT_LT(Plain(std::vector<BYTE>(), kKey), 0);
}

TEST_F(AESCodingTest, DamagedPaddingFails)
{
    // 15 bytes leave one padding byte of value 1; flipping the cipher's last byte changes only it.
    std::vector<BYTE> cipher = Cipher(Pattern(15), kKey);
    ASSERT_EQ(16u, cipher.size());
    std::vector<BYTE> zeroPad = cipher, widePad = cipher;
    zeroPad[15] ^= 0x01;          // padding byte 0
    widePad[15] ^= 0x01 ^ 0x20;   // padding byte 32, more than a block
    EXPECT_LT(Plain(zeroPad, kKey), 0);
    EXPECT_LT(Plain(widePad, kKey), 0);
}

TEST_F(AESCodingTest, ForeignDataOfWholeBlocksFails)
{
    // Data that no AES coder of ours wrote: its last byte does not decrypt to valid padding.
    std::vector<BYTE> foreign(32);
    for (size_t i = 0; i < foreign.size(); ++i) foreign[i] = static_cast<BYTE>(i * 11 + 1);
    EXPECT_LT(Plain(foreign, kKey), 0);
}

TEST_F(AESCodingTest, WrongKeyNeverYieldsThePlaintext)
{
    std::vector<BYTE> data = Pattern(64);
    std::vector<BYTE> cipher = Cipher(data, kKey);
    std::vector<BYTE> plain;
    long lResult = Plain(cipher, L"another key", &plain);
    EXPECT_TRUE(lResult < 0 || plain != data);
}

TEST_F(AESCodingTest, RandKeyHasTheLengthAndAlphabetAndIsNewEachCall)
{
    static const std::wstring kAlphabet =
        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    AESCoding aes;
    std::set<std::wstring> keys;
    for (int iLength : {1, 2, 3, 16, 32, 48, 100}) {
        for (int iRound = 0; iRound < 3; ++iRound) {
            std::wstring strKey = aes.GetRandKey(iLength);
            ASSERT_EQ(static_cast<size_t>(iLength), strKey.size());
            EXPECT_EQ(std::wstring::npos, strKey.find_first_not_of(kAlphabet)) << strKey;
            if (iLength >= 16) {
                EXPECT_TRUE(keys.insert(strKey).second) << "repeated key " << strKey;
            }
        }
    }
    EXPECT_EQ(L"", aes.GetRandKey(0));
    EXPECT_EQ(L"", aes.GetRandKey(-5));
}

TEST_F(AESCodingTest, RandKeyWorksAsAKey)
{
    AESCoding aes;
    std::wstring strKey = aes.GetRandKey(32);
    std::vector<BYTE> data = Pattern(77), plain;
    ASSERT_EQ(77, Plain(Cipher(data, strKey), strKey, &plain));
    EXPECT_EQ(data, plain);
}
