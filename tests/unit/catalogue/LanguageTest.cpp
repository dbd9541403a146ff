// Language: which module holds the texts of a language type.
#include "Language.h"
#include "LanguageWithoutLibrary.h"
#include "MessageIds.h"
#include "TestData.h"
#include "TraceLogReader.h"
#include <windows.h>
#include <gtest/gtest.h>

namespace {
std::wstring TextOf(HMODULE hModule, unsigned uId)
{
    const wchar_t *pszText = nullptr;
    int iLen = LoadStringW(hModule, uId, reinterpret_cast<LPWSTR>(&pszText), 0);
    return iLen > 0 ? std::wstring(pszText, (size_t)iLen) : std::wstring();
}

// Where the library would be looked for, as the product computes it.
class PathOfLanguage : public Language {
public:
    DWORD Path(std::wstring &strPath) { return GetDefinitionFilePath(strPath); }
};


bool IsMapped(HMODULE hModule)
{
    // A data-file handle is the mapping's address with a low flag bit set.
    MEMORY_BASIC_INFORMATION mbi;
    void *pBase = reinterpret_cast<void *>(reinterpret_cast<ULONG_PTR>(hModule) & ~(ULONG_PTR)3);
    return VirtualQuery(pBase, &mbi, sizeof(mbi)) == sizeof(mbi) && mbi.State != MEM_FREE;
}
}  // namespace

class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override { m_language.ReleaseLanguage(m_hModule); }

    Language m_language;
    HMODULE m_hModule = nullptr;
};

TEST_F(LanguageTest, DefaultTypeGivesTheProgramsOwnModule)
{
    EXPECT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_DEFAULT, m_hModule));
    EXPECT_EQ(GetModuleHandleW(nullptr), m_hModule);
    EXPECT_EQ(L"Process to restore previous version failed.", TextOf(m_hModule, MSG_ROLLBACK_FAILED));
}

TEST_F(LanguageTest, JapaneseTypeGivesTheJapaneseTexts)
{
    ASSERT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_JAPANESE, m_hModule));
    ASSERT_NE(nullptr, m_hModule);
    EXPECT_EQ(kJapaneseRollbackFailed, TextOf(m_hModule, MSG_ROLLBACK_FAILED));
}

TEST_F(LanguageTest, JapaneseLibraryIsLoadedAsDataOnly)
{
    ASSERT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_JAPANESE, m_hModule));
    // A library loaded to run code would be in the loader's module list.
    EXPECT_EQ(nullptr, GetModuleHandleW(L"StringTable_JP.dll"));
    EXPECT_NE(0u, reinterpret_cast<ULONG_PTR>(m_hModule) & 3);
}

TEST_F(LanguageTest, JapaneseLibraryIsTakenFromTheProgramFolder)
{
    PathOfLanguage language;
    std::wstring strPath;
    ASSERT_EQ(0u, language.Path(strPath));
    EXPECT_EQ(TestData::ProgramFolder() + L"StringTable_JP.dll", strPath);
}

TEST_F(LanguageTest, EarlierModuleIsReleasedBeforeTheNextOne)
{
    ASSERT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_JAPANESE, m_hModule));
    HMODULE hJapanese = m_hModule;
    ASSERT_TRUE(IsMapped(hJapanese));
    EXPECT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_DEFAULT, m_hModule));
    EXPECT_EQ(GetModuleHandleW(nullptr), m_hModule);
    EXPECT_FALSE(IsMapped(hJapanese));
}

TEST_F(LanguageTest, ProgramsOwnModuleIsKeptOnRelease)
{
    ASSERT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_DEFAULT, m_hModule));
    EXPECT_TRUE(m_language.ReleaseLanguage(m_hModule));
    EXPECT_EQ(nullptr, m_hModule);
    // Still readable: the running program was not unloaded under its own feet.
    EXPECT_EQ(L"NolvexConnect", TextOf(GetModuleHandleW(nullptr), MSG_APP_TITLE));
}

TEST_F(LanguageTest, UndefinedTypesFailWithMinusOne)
{
    for (long lType : {2L, -1L, 100L}) {
        m_hModule = nullptr;
        EXPECT_EQ(-1, m_language.GetLanguage(lType, m_hModule)) << lType;
        EXPECT_EQ(nullptr, m_hModule) << lType;
    }
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"The language type is not defined."));
}

TEST_F(LanguageTest, UndefinedTypeStillReleasesTheEarlierModule)
{
    ASSERT_EQ(0, m_language.GetLanguage(Language::LANGUAGE_JAPANESE, m_hModule));
    HMODULE hJapanese = m_hModule;
    EXPECT_EQ(-1, m_language.GetLanguage(2, m_hModule));
    EXPECT_EQ(nullptr, m_hModule);
    EXPECT_FALSE(IsMapped(hJapanese));
}

TEST_F(LanguageTest, MissingJapaneseLibraryGivesTheSystemError)
{
    LanguageWithoutLibrary language;
    long lResult = language.GetLanguage(Language::LANGUAGE_JAPANESE, m_hModule);
    EXPECT_EQ((long)LanguageWithoutLibrary::MissingLibraryError(), lResult);
    EXPECT_EQ(nullptr, m_hModule);
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"Failed to get the definition file ["));
    EXPECT_TRUE(TraceLogReader::ThreadWrote(L"APIError [LoadLibraryExW] rc:["));
}
