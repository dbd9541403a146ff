#include "AESCoding.h"
#include "AESStrCoding.h"
#include "Base64Coding.h"
#include "Base64URLCoding.h"
#include "CoderRun.h"
#include "MD5Coding.h"
#include "SHA1Coding.h"
#include "SHA256Coding.h"
#include "URLCoding.h"
#include <gtest/gtest.h>

class CodingFactory : public ::testing::Test {
protected:
    template <typename T>
    static bool Makes(int iCodeType)
    {
        std::unique_ptr<Coding> coding = MakeCoder(iCodeType);
        return dynamic_cast<T *>(coding.get()) != nullptr;
    }
};

TEST_F(CodingFactory, EachCodeTypeMakesItsCoder)
{
    EXPECT_TRUE(Makes<AESCoding>(0));
    EXPECT_TRUE(Makes<Base64Coding>(1));
    EXPECT_TRUE(Makes<MD5Coding>(3));
    EXPECT_TRUE(Makes<URLCoding>(4));
    EXPECT_TRUE(Makes<SHA1Coding>(5));
    EXPECT_TRUE(Makes<SHA256Coding>(6));
    EXPECT_TRUE(Makes<Base64URLCoding>(7));
    EXPECT_TRUE(Makes<AESStrCoding>(8));
}

TEST_F(CodingFactory, UnknownCodeTypesGiveNull)
{
    EXPECT_EQ(nullptr, MakeCoder(2));
    EXPECT_EQ(nullptr, MakeCoder(9));
    EXPECT_EQ(nullptr, MakeCoder(99));
    EXPECT_EQ(nullptr, MakeCoder(-1));
}

TEST_F(CodingFactory, OnlyTheAESCoderMakesRandomKeys)
{
    for (int iType : {1, 3, 4, 5, 6, 7, 8}) {
        EXPECT_EQ(L"", MakeCoder(iType)->GetRandKey(32)) << "code type " << iType;
    }
    EXPECT_EQ(32u, MakeCoder(0)->GetRandKey(32).size());
}
