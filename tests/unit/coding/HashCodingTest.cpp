#include "CoderRun.h"
#include <gtest/gtest.h>

namespace {
struct Vector {
    int iCodeType;
    const char *pszInput;
    const wchar_t *pszDigest;
};
const char kFox[] = "The quick brown fox jumps over the lazy dog";
const char kAbcdbc[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
// RFC 1321 appendix A.5; FIPS 180 examples; the well-known pangram digests.
const Vector kVectors[] = {
    {3, "", L"d41d8cd98f00b204e9800998ecf8427e"},
    {3, "a", L"0cc175b9c0f1b6a831c399e269772661"},
    {3, "abc", L"900150983cd24fb0d6963f7d28e17f72"},
    {3, "message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
    {3, "abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
    {3, kFox, L"9e107d9d372bb6826bd81d3542a419d6"},
    {5, "", L"da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {5, "abc", L"a9993e364706816aba3e25717850c26c9cd0d89d"},
    {5, kAbcdbc, L"84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {5, kFox, L"2fd4e1c67a2d28fced849ee1bb76e7391b93eb12"},
    {6, "", L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {6, "abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {6, kAbcdbc, L"248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {6, kFox, L"d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592"},
};
}  // namespace

class HashCoders : public ::testing::Test {};

TEST_F(HashCoders, DigestsMatchThePublishedVectorsInLowerCaseHex)
{
    for (const Vector &v : kVectors) {
        CoderRun run = RunCoder(*MakeCoder(v.iCodeType), true, BytesOf(v.pszInput));
        EXPECT_EQ(v.pszDigest, TextOf(run.output, run.output.size()))
            << "code type " << v.iCodeType << " of \"" << v.pszInput << "\"";
        long lBytes = static_cast<long>((wcslen(v.pszDigest) + 1) * 2);
        EXPECT_EQ(lBytes, run.lNeeded) << "size query answers the text's bytes with the zero unit";
        EXPECT_EQ(lBytes, run.lResult);
        EXPECT_TRUE(GuardIntact(run));
    }
}

TEST_F(HashCoders, DigestCoversEveryInputByteIncludingZeros)
{
    std::vector<BYTE> withZero = {'a', 0, 'b'};
    std::vector<BYTE> withoutTail = {'a', 0};
    CoderRun a = RunCoder(*MakeCoder(6), true, withZero);
    CoderRun b = RunCoder(*MakeCoder(6), true, withoutTail);
    ASSERT_GT(a.lResult, 0);
    ASSERT_GT(b.lResult, 0);
    EXPECT_NE(TextOf(a.output, a.output.size()), TextOf(b.output, b.output.size()));
}

TEST_F(HashCoders, DecodeIsRefused)
{
    const BYTE abInput[] = {'x'};
    BYTE abOutput[16] = {};
    for (int iType : {3, 5, 6}) {
        EXPECT_LT(MakeCoder(iType)->Decode(abInput, 1, abOutput, L""), 0) << "code type " << iType;
        EXPECT_LT(MakeCoder(iType)->Decode(abInput, 1, nullptr, L""), 0) << "code type " << iType;
    }
}
