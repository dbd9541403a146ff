#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ConfirmationPrompt.h"
#include "LaunchLog.h"

namespace {

std::wstring FromCodePage932(const char *pszText)
{
    int iLen = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pszText, -1, nullptr, 0);
    if (iLen <= 0) return L"<invalid code page 932 text>";
    std::wstring strOut(iLen, L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pszText, -1, &strOut[0], iLen);
    strOut.resize(iLen - 1);
    return strOut;
}

class ConfirmationPromptTest : public ::testing::Test {};

TEST_F(ConfirmationPromptTest, CaptionIsTheProductName)
{
    EXPECT_STREQ("NOLVEX CONNECT", ConfirmationPrompt::Caption());
}

TEST_F(ConfirmationPromptTest, TextReadsAsTheJapaneseQuestionInCodePage932)
{
    EXPECT_EQ(std::wstring(L"引き続き処理を実行しますか？\n"
                           L"※NOLVEXコネクトをインストール済みの場合は「はい」を選択してください。"),
              FromCodePage932(ConfirmationPrompt::Text()));
}

class LaunchLogTest : public ::testing::Test {};

TEST_F(LaunchLogTest, SystemTextHasNoTrailingLineBreak)
{
    std::string strText = LaunchLog::SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(strText.empty());
    EXPECT_NE('\n', strText.back());
    EXPECT_NE('\r', strText.back());
}

}   // namespace
