// The message catalogue as built: the English string table of the program and the Japanese library
// hold the same ids, the English texts are the designed ones, the Japanese ones keep what callers
// fill in.
#include "MessageIds.h"
#include "StringTableReader.h"
#include "TestData.h"
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <set>

static_assert(MSG_ROLLBACK_FAILED == 28603, "the service's rollback failure");
static_assert(MSG_UPDATE_BACKUP_FAILED == 28600, "the service's update failure");
static_assert(MSG_CONNECTION_CANCELED == 18500, "the common result of a cancelled step");

namespace {
size_t CountOf(const std::wstring &strText, const std::wstring &strPart)
{
    size_t nCount = 0;
    for (size_t n = strText.find(strPart); n != std::wstring::npos; n = strText.find(strPart, n + strPart.size()))
        ++nCount;
    return nCount;
}

std::set<unsigned> IdsOf(const std::map<unsigned, std::wstring> &mapTexts)
{
    std::set<unsigned> setIds;
    for (const auto &entry : mapTexts) setIds.insert(entry.first);
    return setIds;
}

// The ranges of the catalogue with the themes the product gives them.
struct IdRange {
    unsigned uFirst;
    unsigned uLast;
};
const IdRange kRanges[] = {
    {128, 128},     {600, 600},     {3000, 3201},   {4000, 4600},   {5001, 5251},   {6000, 6061},
    {6100, 6110},   {6200, 6275},   {6300, 6351},   {6401, 6410},   {6500, 6555},   {7000, 7009},
    {7100, 7125},   {7200, 7232},   {7310, 7313},   {8000, 8030},   {8501, 8560},   {8600, 8603},
    {8700, 8792},   {8800, 8849},   {14000, 18800}, {24000, 24003}, {25000, 25003}, {26000, 26010},
    {28500, 28515}, {28600, 28603},
};
}  // namespace

class MessageCatalogue : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_mapEnglish = StringTableReader::ReadAll(GetModuleHandleW(nullptr));
        s_hJapanese = LoadLibraryExW((TestData::ProgramFolder() + L"StringTable_JP.dll").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
        if (s_hJapanese != nullptr) s_mapJapanese = StringTableReader::ReadAll(s_hJapanese);
        s_mapDesigned = TestData::DesignedCatalogue();
        s_mapNamed = TestData::NamedIds();
    }
    static void TearDownTestSuite()
    {
        if (s_hJapanese != nullptr) FreeLibrary(s_hJapanese);
        s_hJapanese = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, s_hJapanese) << "StringTable_JP.dll beside the test program";
        ASSERT_FALSE(s_mapDesigned.empty()) << "catalogue_en.tsv compiled into the test program";
        ASSERT_FALSE(s_mapNamed.empty()) << "MessageIds.h compiled into the test program";
    }

    static std::map<unsigned, std::wstring> s_mapEnglish;
    static std::map<unsigned, std::wstring> s_mapJapanese;
    static std::map<unsigned, std::wstring> s_mapDesigned;
    static std::map<std::string, unsigned> s_mapNamed;
    static HMODULE s_hJapanese;
};
std::map<unsigned, std::wstring> MessageCatalogue::s_mapEnglish;
std::map<unsigned, std::wstring> MessageCatalogue::s_mapJapanese;
std::map<unsigned, std::wstring> MessageCatalogue::s_mapDesigned;
std::map<std::string, unsigned> MessageCatalogue::s_mapNamed;
HMODULE MessageCatalogue::s_hJapanese = nullptr;

TEST_F(MessageCatalogue, EnglishAndJapaneseHoldExactlyTheSameIds)
{
    std::set<unsigned> setEnglish = IdsOf(s_mapEnglish), setJapanese = IdsOf(s_mapJapanese);
    for (unsigned uId : setEnglish) EXPECT_TRUE(setJapanese.count(uId)) << "only in English: " << uId;
    for (unsigned uId : setJapanese) EXPECT_TRUE(setEnglish.count(uId)) << "only in Japanese: " << uId;
    EXPECT_EQ(540u, setEnglish.size());
}

TEST_F(MessageCatalogue, EnglishTableHoldsExactlyTheDesignedIds)
{
    EXPECT_EQ(IdsOf(s_mapDesigned), IdsOf(s_mapEnglish));
}

TEST_F(MessageCatalogue, EveryEnglishTextIsTheDesignedText)
{
    for (const auto &entry : s_mapDesigned) {
        auto it = s_mapEnglish.find(entry.first);
        ASSERT_NE(s_mapEnglish.end(), it) << "missing id " << entry.first;
        EXPECT_EQ(entry.second, it->second) << "id " << entry.first;
    }
}

TEST_F(MessageCatalogue, DesignedTextsKeepQuotesLineBreaksPlaceholdersAndTrailingBlanks)
{
    // The rows whose escapes a string table gets wrong most easily.
    EXPECT_EQ(L"Unable to execute update process because service suspended.\nStart \"NolvexConnectMonitor\" service.",
              s_mapEnglish[8600]);
    EXPECT_EQ(L"To enable updates,\nNOLVEX Connect will restart.", s_mapEnglish[8603]);
    EXPECT_EQ(L"%s days left until password expires.", s_mapEnglish[4030]);
    EXPECT_EQ(L"%s", s_mapEnglish[7117]);
    EXPECT_EQ(L' ', s_mapEnglish[6004].back());
    EXPECT_EQ(L' ', s_mapEnglish[6272].back());
    EXPECT_EQ(L"NolvexConnect", s_mapEnglish[128]);
    EXPECT_EQ(L"NolvexConnectMonitor", s_mapEnglish[600]);
}

TEST_F(MessageCatalogue, EveryNamedIdHasTextInBothLanguages)
{
    EXPECT_EQ(s_mapDesigned.size(), s_mapNamed.size()) << "one name for every id of the catalogue";
    std::set<unsigned> setSeen;
    for (const auto &entry : s_mapNamed) {
        EXPECT_TRUE(setSeen.insert(entry.second).second) << entry.first << " names an id twice";
        EXPECT_FALSE(s_mapEnglish[entry.second].empty()) << entry.first << " = " << entry.second;
        EXPECT_FALSE(s_mapJapanese[entry.second].empty()) << entry.first << " = " << entry.second;
    }
}

TEST_F(MessageCatalogue, EveryIdLiesInADesignedRange)
{
    for (const auto &entry : s_mapEnglish) {
        bool bInRange = std::any_of(std::begin(kRanges), std::end(kRanges), [&](const IdRange &range) {
            return range.uFirst <= entry.first && entry.first <= range.uLast;
        });
        EXPECT_TRUE(bInRange) << "id " << entry.first;
    }
}

TEST_F(MessageCatalogue, MappedFamiliesAreComplete)
{
    // The remote access, socket and WinINet mapping tables pick ids out of these runs.
    for (unsigned uId = 6200; uId <= 6275; ++uId) EXPECT_TRUE(s_mapEnglish.count(uId)) << uId;
    for (unsigned uId = 6300; uId <= 6342; ++uId) EXPECT_TRUE(s_mapEnglish.count(uId)) << uId;
    EXPECT_TRUE(s_mapEnglish.count(6350));
    EXPECT_TRUE(s_mapEnglish.count(6351));
    for (unsigned uId = 8800; uId <= 8849; ++uId) EXPECT_TRUE(s_mapEnglish.count(uId)) << uId;
    for (unsigned uId = 6300; uId <= 6351; ++uId) {
        if (s_mapEnglish.count(uId)) {
            EXPECT_EQ(0u, s_mapEnglish[uId].find(L"Access control linkage failed. ")) << uId;
        }
    }
    for (unsigned uId = 8800; uId <= 8849; ++uId) EXPECT_EQ(0u, s_mapEnglish[uId].find(L"HTTP connection failed.")) << uId;
}

TEST_F(MessageCatalogue, JapaneseTextsKeepPlaceholdersAndLineBreaks)
{
    for (const auto &entry : s_mapEnglish) {
        const std::wstring &strJapanese = s_mapJapanese[entry.first];
        EXPECT_EQ(CountOf(entry.second, L"%s"), CountOf(strJapanese, L"%s")) << "id " << entry.first;
        EXPECT_EQ(CountOf(entry.second, L"%"), CountOf(strJapanese, L"%")) << "id " << entry.first;
        EXPECT_EQ(CountOf(entry.second, L"\n"), CountOf(strJapanese, L"\n")) << "id " << entry.first;
    }
}

TEST_F(MessageCatalogue, JapaneseTextsAreTranslatedExceptNamesAndSymbols)
{
    // Product names, switch labels and the bare placeholder read the same in both languages.
    const std::set<unsigned> setSame = {128, 600, 3000, 3010, 3011, 3044, 3200, 7117};
    for (const auto &entry : s_mapEnglish) {
        bool bSame = entry.second == s_mapJapanese[entry.first];
        EXPECT_EQ(setSame.count(entry.first) != 0, bSame) << "id " << entry.first;
    }
}

TEST_F(MessageCatalogue, MonitorExecutableCarriesTheEnglishCatalogue)
{
    std::wstring strPath = TestData::ProgramFolder() + L"NolvexConnectMonitor.exe";
    if (GetFileAttributesW(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no service built yet";
    HMODULE hMonitor = LoadLibraryExW(strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hMonitor);
    std::map<unsigned, std::wstring> mapMonitor = StringTableReader::ReadAll(hMonitor);
    FreeLibrary(hMonitor);
    EXPECT_EQ(s_mapEnglish, mapMonitor);
}
