#include "PaslogiAuthFile.h"
#include "RandTableFile.h"
#include "TestFiles.h"
#include <gtest/gtest.h>

namespace {
std::string Answer(const std::string &strInner)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r<PassLogic:Response>\r" + strInner + "</PassLogic:Response>\r";
}

const char kTableAnswer[] =
    "  <code>21030101</code>\r  <comment>table issued</comment>\r  <copyright>(c) pattern</copyright>\r"
    "  <data>\r    <RAND>\r      <rand1>37</rand1>\r      <rand2>05</rand2>\r      <rand3>91</rand3>\r    </RAND>\r"
    "    <cookie>ck-1</cookie>\r    <uid>user1</uid>\r    <title>Table \xe8\xa1\xa8</title>\r  </data>\r"
    "  <pid>4711</pid>\r  <ptime>12ms</ptime>\r  <status>OK</status>\r";
}   // namespace

class PatternFilesTest : public ::testing::Test {
protected:
    std::wstring Write(const std::string &strBytes)
    {
        std::wstring strPath = m_folder / L"Temp.xml";
        EXPECT_TRUE(WriteBytes(strPath, strBytes));
        return strPath;
    }
    TestFolder m_folder;
};

TEST_F(PatternFilesTest, TableTextJoinsTheThreePartsInOrderWithEveryValue)
{
    RandTableFile file;
    ASSERT_TRUE(file.ReadSetting(Write(Answer(kTableAnswer))));
    EXPECT_EQ(L"370591", file.GetRandTable());
    EXPECT_EQ(21030101, file.GetResultCode());
    EXPECT_EQ(L"table issued", file.GetComment());
    EXPECT_EQ(L"(c) pattern", file.GetCopyright());
    EXPECT_EQ(L"ck-1", file.GetCookie());
    EXPECT_EQ(L"user1", file.GetUid());
    EXPECT_EQ(L"Table \x8868", file.GetTitle());
    EXPECT_EQ(L"4711", file.GetPid());
    EXPECT_EQ(L"12ms", file.GetPtime());
    EXPECT_EQ(L"OK", file.GetStatus());
}

TEST_F(PatternFilesTest, AnswerWithoutDataGivesAnEmptyTableButKeepsTheCode)
{
    RandTableFile file;
    ASSERT_TRUE(file.ReadSetting(Write(Answer(kTableAnswer))));
    ASSERT_TRUE(file.ReadSetting(Write(Answer("  <code>21030101</code>\r  <comment>no table</comment>\r"))));
    EXPECT_EQ(L"", file.GetRandTable());
    EXPECT_EQ(L"", file.GetCookie());
    EXPECT_EQ(21030101, file.GetResultCode());
    EXPECT_EQ(L"no table", file.GetComment());
}

TEST_F(PatternFilesTest, MissingResponseOrFileGivesFalseWithCodeZero)
{
    RandTableFile table;
    PaslogiAuthFile auth;
    ASSERT_TRUE(table.ReadSetting(Write(Answer(kTableAnswer))));
    std::wstring strOther = Write("<?xml version=\"1.0\"?>\r<Other>\r  <code>21030101</code>\r</Other>\r");
    EXPECT_FALSE(table.ReadSetting(strOther));
    EXPECT_EQ(0, table.GetResultCode());
    EXPECT_EQ(L"", table.GetRandTable());
    EXPECT_FALSE(auth.ReadSetting(strOther));
    EXPECT_EQ(0, auth.GetResultCode());
    EXPECT_FALSE(table.ReadSetting(m_folder / L"missing.xml"));
    EXPECT_FALSE(auth.ReadSetting(m_folder / L"missing.xml"));
}

TEST_F(PatternFilesTest, VerificationAnswerGivesCodeCommentAndServerValues)
{
    PaslogiAuthFile file;
    ASSERT_TRUE(file.ReadSetting(Write(Answer("  <code>21040114</code>\r  <comment>expired</comment>\r"
                                              "  <copyright>c</copyright>\r  <pid>9</pid>\r  <ptime>3</ptime>\r"
                                              "  <status>NG</status>\r"))));
    EXPECT_EQ(21040114, file.GetResultCode());
    EXPECT_EQ(L"expired", file.GetComment());
    EXPECT_EQ(L"c", file.GetCopyright());
    EXPECT_EQ(L"9", file.GetPid());
    EXPECT_EQ(L"3", file.GetPtime());
    EXPECT_EQ(L"NG", file.GetStatus());
}

TEST_F(PatternFilesTest, MalformedOrMissingCodeReadsAsZero)
{
    PaslogiAuthFile file;
    ASSERT_TRUE(file.ReadSetting(Write(Answer("  <code>21O40101</code>\r  <comment>x</comment>\r"))));
    EXPECT_EQ(0, file.GetResultCode());
    ASSERT_TRUE(file.ReadSetting(Write(Answer("  <comment>no code</comment>\r"))));
    EXPECT_EQ(0, file.GetResultCode());
    EXPECT_EQ(L"no code", file.GetComment());
}
