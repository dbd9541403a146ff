#include "PipeMessage.h"
#include "WireText.h"
#include <gtest/gtest.h>

TEST(PipeMessage, ComposesEveryMessageOfTheMonitor)
{
    struct Row {
        std::wstring strGot;
        const wchar_t *pszWant;
    } rows[] = {
        {PipeMessage::MonitorStart(1234, L"C:\\Users\\a\\AppData\\Roaming\\Nolvex\\a", L"1", L"0"),
         L"MonitorStart=1234,C:\\Users\\a\\AppData\\Roaming\\Nolvex\\a,1,0"},
        {PipeMessage::MonitorEnd(L"C:\\u\\a"), L"MonitorEnd=C:\\u\\a"},
        {PipeMessage::LogLevel(L"1"), L"LogLevel=1"},
        {PipeMessage::DoUpdate(L"88", L"C:\\data\\diff"), L"DoUpdate=88,C:\\data\\diff"},
        {PipeMessage::RollBackUpdate(L""), L"RollBackUpdate"},
        {PipeMessage::RollBackUpdate(L"anything"), L"RollBackUpdate=anything"},
    };
    for (const Row &row : rows) EXPECT_EQ(row.pszWant, row.strGot);
}

TEST(PipeMessage, PassesFaultyFieldsThroughForTests)
{
    // A folder with a comma shifts the service's fields; the client must be able to send it.
    EXPECT_EQ(L"MonitorStart=5,C:\\a,b,x,y", PipeMessage::MonitorStart(5, L"C:\\a,b", L"x", L"y"));
    EXPECT_EQ(L"LogLevel=abc", PipeMessage::LogLevel(L"abc"));
}

TEST(PipeMessage, WireFormIsUtf16LittleEndianWithoutTerminator)
{
    std::string strBytes = PipeMessage::ToBytes(L"A\u3042\u00e9");
    ASSERT_EQ(6u, strBytes.size());
    EXPECT_EQ(std::string("\x41\x00\x42\x30\xe9\x00", 6), strBytes);
    EXPECT_EQ(L"A\u3042\u00e9", WireText(strBytes));
    EXPECT_TRUE(PipeMessage::ToBytes(L"").empty());
}

TEST(PipeMessage, HexGivesAnyNumberOfBytes)
{
    std::string strBytes;
    ASSERT_TRUE(PipeMessage::FromHex(L"414243", strBytes));
    EXPECT_EQ("ABC", strBytes);
    ASSERT_TRUE(PipeMessage::FromHex(L"4c 00:6F-00", strBytes));
    EXPECT_EQ(std::string("L\0o\0", 4), strBytes);
    ASSERT_TRUE(PipeMessage::FromHex(L"00ff", strBytes));
    EXPECT_EQ(std::string("\x00\xff", 2), strBytes);
    ASSERT_TRUE(PipeMessage::FromHex(L"", strBytes));
    EXPECT_TRUE(strBytes.empty());
}

TEST(PipeMessage, HexRejectsHalfBytesAndOtherCharacters)
{
    std::string strBytes = "untouched";
    EXPECT_FALSE(PipeMessage::FromHex(L"abc", strBytes));
    EXPECT_FALSE(PipeMessage::FromHex(L"4 1", strBytes));
    EXPECT_FALSE(PipeMessage::FromHex(L"zz", strBytes));
    EXPECT_FALSE(PipeMessage::FromHex(L"0x41", strBytes));
    EXPECT_EQ("untouched", strBytes);
}

TEST(PipeMessage, RandomBytesAreReproducibleFromTheSeed)
{
    std::string strA = PipeMessage::Random(300, 7);
    EXPECT_EQ(300u, strA.size());
    EXPECT_EQ(strA, PipeMessage::Random(300, 7));
    EXPECT_NE(strA, PipeMessage::Random(300, 8));
    // std::mt19937 seeded with 1 first gives 1791095845 (0x6AC1F425): the low byte leads.
    EXPECT_EQ('\x25', PipeMessage::Random(1, 1)[0]);
    EXPECT_TRUE(PipeMessage::Random(0, 1).empty());
}
