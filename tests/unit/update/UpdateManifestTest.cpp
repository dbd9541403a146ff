#include "UpdateManifest.h"
#include "UpdateManifestText.h"
#include "UpdateTestTree.h"
#include <gtest/gtest.h>

// Updates signed by the signing tool with the development key, checked against the public half
// (the same check the service makes against the key built into it).
class UpdateManifestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strPublic = ReadBytes(ProgramFolder() + L"dev-update-public.blob");
        ASSERT_FALSE(m_strPublic.empty());
        ASSERT_TRUE(WriteTree(m_folder.WithoutSlash(), {{L"NolvexConnect.exe", "new client"},
                                                        {L"changelist.xml", "<Directory></Directory>"},
                                                        {L"plugins\\", ""},
                                                        {L"plugins\\a.dll", std::string(100000, 'a')},
                                                        {L"empty.txt", ""}}));
        ASSERT_EQ(0, SignFolder(m_folder.WithoutSlash()));
    }
    bool Verify(std::wstring &strReason)
    {
        UpdateSignature signature(reinterpret_cast<const BYTE *>(m_strPublic.data()), (DWORD)m_strPublic.size());
        return UpdateManifest(signature).Verify(m_folder.WithoutSlash(), strReason);
    }
    std::wstring Refusal()
    {
        std::wstring strReason;
        EXPECT_FALSE(Verify(strReason));
        return strReason;
    }
    std::string Manifest() { return ReadBytes(m_folder / UpdateManifestText::FILE_NAME); }

    TestFolder m_folder;
    std::string m_strPublic;
};

TEST_F(UpdateManifestTest, ASignedFolderVerifiesAndItsBuiltInKeyIsTheDevelopmentKey)
{
    std::wstring strReason;
    EXPECT_TRUE(Verify(strReason)) << strReason;
    EXPECT_TRUE(UpdateManifest(UpdateSignature::BuiltIn()).Verify(m_folder.WithoutSlash(), strReason)) << strReason;
    std::string strText = Manifest();
    EXPECT_NE(std::string::npos, strText.find(" plugins\\a.dll\r\n"));
    EXPECT_NE(std::string::npos, strText.find(" changelist.xml\r\n"));
    EXPECT_EQ(std::string::npos, strText.find(" update.manifest"));
}

TEST_F(UpdateManifestTest, AlteredExtendedAndTruncatedFoldersAreRefused)
{
    ASSERT_TRUE(WriteBytes(m_folder / L"plugins\\a.dll", std::string(100000, 'b')));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"differs"));
    ASSERT_TRUE(WriteBytes(m_folder / L"plugins\\a.dll", std::string(100000, 'a')));
    std::wstring strReason;
    ASSERT_TRUE(Verify(strReason)) << strReason;

    ASSERT_TRUE(WriteBytes(m_folder / L"evil.dll", "extra"));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"not listed"));
    ASSERT_TRUE(DeleteFileW((m_folder / L"evil.dll").c_str()));

    ASSERT_TRUE(DeleteFileW((m_folder / L"empty.txt").c_str()));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"missing"));
}

TEST_F(UpdateManifestTest, AnEditedManifestOrAnotherKeyIsRefused)
{
    std::string strText = Manifest();
    // Drop one listed file from the manifest (and the folder): the signature no longer fits.
    size_t nLine = strText.find(" empty.txt\r\n");
    ASSERT_NE(std::string::npos, nLine);
    size_t nStart = strText.rfind("\r\n", nLine) + 2;
    ASSERT_TRUE(DeleteFileW((m_folder / L"empty.txt").c_str()));
    ASSERT_TRUE(WriteBytes(m_folder / UpdateManifestText::FILE_NAME,
                           strText.substr(0, nStart) + strText.substr(nLine + 12)));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"not signed"));

    TestFolder keys;
    ASSERT_EQ(0, MakeKeyPair(keys / L"other.blob", keys / L"other-public.blob"));
    ChildProcess tool;
    ASSERT_TRUE(tool.Launch(L"\"" + ProgramFolder() + L"nc_updatesign.exe\" sign \"" + (keys / L"other.blob") + L"\" \"" +
                            m_folder.WithoutSlash() + L"\""));
    ASSERT_EQ(0, tool.Finish());
    EXPECT_NE(std::wstring::npos, Refusal().find(L"not signed"));
}

TEST_F(UpdateManifestTest, AMissingOrMalformedManifestIsRefused)
{
    std::string strText = Manifest();
    ASSERT_TRUE(DeleteFileW((m_folder / UpdateManifestText::FILE_NAME).c_str()));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"no manifest"));
    ASSERT_TRUE(WriteBytes(m_folder / UpdateManifestText::FILE_NAME, strText.substr(0, strText.find("signature "))));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"no signature"));
    ASSERT_TRUE(WriteBytes(m_folder / UpdateManifestText::FILE_NAME, "garbage\r\nsignature 00\r\n"));
    EXPECT_FALSE(Refusal().empty());
}

TEST_F(UpdateManifestTest, AFileWithASecondLinkIsRefused)
{
    // A second link would let the same bytes change behind the check.
    ASSERT_TRUE(CreateHardLinkW((m_folder / L"plugins\\b.dll").c_str(), (m_folder / L"plugins\\a.dll").c_str(), nullptr));
    EXPECT_NE(std::wstring::npos, Refusal().find(L"more than one link"));
    EXPECT_NE(0, SignFolder(m_folder.WithoutSlash())) << "the tool must not sign such a folder either";
}

TEST(UpdateManifestTextTest, DuplicatesAndBadDigestsAreRefusedWhenParsed)
{
    std::string strBody, strSignature;
    UpdateManifestText::EntryMap entries;
    std::wstring strReason;
    const std::string strDigest(64, 'a');
    std::string strTwice = std::string(UpdateManifestText::HEADER) + "\r\n" + strDigest + " a.txt\r\n" + strDigest +
                           " A.TXT\r\nsignature 0011\r\n";
    EXPECT_FALSE(UpdateManifestText::Parse(strTwice, strBody, strSignature, entries, strReason));
    EXPECT_NE(std::wstring::npos, strReason.find(L"twice"));
    std::string strShort = std::string(UpdateManifestText::HEADER) + "\r\n" + std::string(63, 'a') + " a.txt\r\nsignature 00\r\n";
    EXPECT_FALSE(UpdateManifestText::Parse(strShort, strBody, strSignature, entries, strReason));
    std::string strGood = std::string(UpdateManifestText::HEADER) + "\r\n" + strDigest + " sub\\a.txt\r\nsignature 0aFF\r\n";
    ASSERT_TRUE(UpdateManifestText::Parse(strGood, strBody, strSignature, entries, strReason)) << strReason;
    EXPECT_EQ(std::string("\x0a\xff", 2), strSignature);
    EXPECT_EQ(strGood.substr(0, strGood.find("signature")), strBody);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(L"sub\\a.txt", entries.begin()->second.strPath);
}
