#include "AttachmentName.h"
#include "HttpLogText.h"
#include "ResponseBody.h"
#include <gtest/gtest.h>
#include <string>

TEST(AttachmentNameTest, NameComesFromBehindFilenameWithQuotesRemoved)
{
    EXPECT_EQ(L"update 1.zip", AttachmentName::FromHeader(L"attachment; filename=\"update 1.zip\""));
    EXPECT_EQ(L"a.bin", AttachmentName::FromHeader(L"attachment; filename=a.bin; size=10"));
    EXPECT_EQ(L"", AttachmentName::FromHeader(L"filename=a.bin"));   // at the very start
    EXPECT_EQ(L"", AttachmentName::FromHeader(L"attachment"));
    EXPECT_TRUE(AttachmentName::IsAttachment(L"Attachment; filename=x"));
    EXPECT_FALSE(AttachmentName::IsAttachment(L"inline; filename=x"));
}

TEST(AttachmentNameTest, OnlyPlainFileNamesAreAccepted)
{
    std::wstring strReason;
    for (const wchar_t *pszGood : {L"update.zip", L"a b.dat", L"\x66f4\x65b0.zip", L"..hidden.txt"})
        EXPECT_TRUE(AttachmentName::IsPlainFileName(pszGood, strReason)) << pszGood;
    for (const wchar_t *pszBad : {L"", L".", L"..", L"..\\evil.dat", L"C:\\evil.dat", L"a:b", L"sub/evil.dat",
                                  L"\\\\server\\share\\x", L"tab\tname", L"bell\x7f", L"what?.txt", L"name.",
                                  L"name "}) {
        strReason.clear();
        EXPECT_FALSE(AttachmentName::IsPlainFileName(pszBad, strReason)) << pszBad;
        EXPECT_FALSE(strReason.empty()) << pszBad;
    }
}

TEST(AttachmentNameTest, FolderGetsOneBackslash)
{
    EXPECT_EQ(L"C:\\dl\\a.zip", AttachmentName::JoinFolder(L"C:\\dl\\", L"a.zip"));
    EXPECT_EQ(L"C:\\dl\\a.zip", AttachmentName::JoinFolder(L"C:\\dl", L"a.zip"));
}

TEST(ResponseBodyTest, GrowsGeometricallyAndKeepsEveryByteWithAZeroBehind)
{
    ResponseBody body;
    std::string strAll;
    bool bOverCap = false;
    int iGrowths = 0;
    DWORD dwLastCapacity = 0;
    for (int i = 0; i < 1000; ++i) {
        std::string strBlock(4096, static_cast<char>('a' + i % 26));
        ASSERT_TRUE(body.Append(reinterpret_cast<const BYTE *>(strBlock.data()), 4096, bOverCap));
        strAll += strBlock;
        if (body.Capacity() != dwLastCapacity) ++iGrowths;
        dwLastCapacity = body.Capacity();
    }
    EXPECT_LE(iGrowths, 10);   // 4 MB in 16 KB steps doubling: 9 growths, not 1000
    ASSERT_EQ(strAll.size(), body.Size());
    EXPECT_EQ(0, memcmp(strAll.data(), body.Data(), strAll.size()));
    EXPECT_EQ('\0', body.Data()[body.Size()]);
    HLOCAL hBlock = body.Detach();
    ASSERT_NE(nullptr, hBlock);
    EXPECT_GE(LocalSize(hBlock), strAll.size() + 1);
    LocalFree(hBlock);
    EXPECT_EQ(0u, body.Size());
}

TEST(ResponseBodyTest, CapIsEnforcedWithoutLosingWhatWasHeld)
{
    const DWORD dwCap = 10000;
    ResponseBody body(dwCap);
    BYTE abBlock[4096] = {};
    bool bOverCap = false;
    EXPECT_TRUE(body.Append(abBlock, 4096, bOverCap));
    EXPECT_TRUE(body.Append(abBlock, 4096, bOverCap));
    EXPECT_FALSE(body.Append(abBlock, 4096, bOverCap));
    EXPECT_TRUE(bOverCap);
    EXPECT_EQ(8192u, body.Size());
    EXPECT_TRUE(body.Append(abBlock, dwCap - 8192, bOverCap));   // exactly up to the cap
    EXPECT_EQ(dwCap, body.Size());
    EXPECT_EQ(nullptr, ResponseBody().Detach());
    EXPECT_GE(ResponseBody::MAX_TEXT_BYTES, 4u * 1024u * 1024u);
}

TEST(HttpLogTextTest, PasswordFieldsOfBodiesAndUrlsArePutInBraces)
{
    EXPECT_EQ(L"id=u1&standardPassword={s1}&connectPassword={c2}&x=1",
              HttpLogText::MaskSecrets(L"id=u1&standardPassword=s1&connectPassword=c2&x=1"));
    EXPECT_EQ(L"https://p.example/cert/uid=u1&pass={p%26w}", HttpLogText::MaskSecrets(L"https://p.example/cert/uid=u1&pass=p%26w"));
    EXPECT_EQ(L"pass={a*b*c}", HttpLogText::MaskSecrets(L"pass=a{b}c"));
    EXPECT_EQ(L"bypass=1&compass=2", HttpLogText::MaskSecrets(L"bypass=1&compass=2"));
    EXPECT_EQ(L"nothing secret", HttpLogText::MaskSecrets(L"nothing secret"));
    EXPECT_EQ(L"{}", HttpLogText::Braced(L""));
}
