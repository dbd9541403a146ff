#include "ChangeListSetting.h"
#include "TestFiles.h"
#include <gtest/gtest.h>

namespace {
std::string ListText(const std::string &strItems)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r<Directory>\r" + strItems + "</Directory>\r";
}
}  // namespace

TEST(ChangeListSettingTest, ItemsAreReadInDocumentOrderWithMethodTypeAndName)
{
    TestFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"changelist.xml",
                           ListText("  <Item D=\"F\">\r    <name>old.dll</name>\r  </Item>\r"
                                    "  <Item D=\"D\">\r    <name>plugins\\legacy</name>\r  </Item>\r"
                                    "  <Item A=\"F\">\r    <name>added.txt</name>\r  </Item>\r"
                                    "  <Item D=\"F\">\r    <name>\xE6\x97\xA5\xE6\x9C\xAC.txt</name>\r  </Item>\r")));
    ChangeListSetting list;
    ASSERT_TRUE(list.ReadSetting(folder / L"changelist.xml"));
    ASSERT_EQ(4, list.GetCount());
    EXPECT_EQ(L"D", list.GetMethod(0));
    EXPECT_EQ(L"F", list.GetType(0));
    EXPECT_EQ(L"old.dll", list.GetName(0));
    EXPECT_EQ(L"D", list.GetType(1));
    EXPECT_EQ(L"plugins\\legacy", list.GetName(1));
    EXPECT_EQ(L"A", list.GetMethod(2));
    EXPECT_EQ(L"\x65E5\x672C.txt", list.GetName(3));   // UTF-8 read as UTF-16
    EXPECT_EQ(L"", list.GetName(4));
    EXPECT_EQ(L"", list.GetMethod(-1));
}

TEST(ChangeListSettingTest, ItemsAfterTheDirectoryAndItemsWithoutNameAreHandled)
{
    TestFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"changelist.xml",
                           ListText("<Item D=\"F\"></Item>\r<Item D=\"F\"><name>kept.txt</name></Item>\r") +
                               "<Item D=\"F\"><name>outside.txt</name></Item>\r"));
    ChangeListSetting list;
    ASSERT_TRUE(list.ReadSetting(folder / L"changelist.xml"));
    ASSERT_EQ(2, list.GetCount());
    EXPECT_EQ(L"", list.GetName(0));
    EXPECT_EQ(L"kept.txt", list.GetName(1));
}

TEST(ChangeListSettingTest, ListsWithoutUsableItemsAreRefusedAndDropEarlierItems)
{
    TestFolder folder;
    ChangeListSetting list;
    ASSERT_TRUE(WriteBytes(folder / L"good.xml", ListText("<Item D=\"F\"><name>a.txt</name></Item>\r")));
    ASSERT_TRUE(list.ReadSetting(folder / L"good.xml"));
    ASSERT_EQ(1, list.GetCount());

    ASSERT_TRUE(WriteBytes(folder / L"empty.xml", ListText("")));
    EXPECT_FALSE(list.ReadSetting(folder / L"empty.xml"));
    EXPECT_EQ(0, list.GetCount());
    ASSERT_TRUE(WriteBytes(folder / L"nameless.xml", ListText("<Item D=\"F\"></Item>\r")));
    EXPECT_FALSE(list.ReadSetting(folder / L"nameless.xml"));
    ASSERT_TRUE(WriteBytes(folder / L"nodir.xml", "<Item D=\"F\"><name>a.txt</name></Item>\r"));
    EXPECT_FALSE(list.ReadSetting(folder / L"nodir.xml"));
    EXPECT_FALSE(list.ReadSetting(folder / L"missing.xml"));
    EXPECT_FALSE(list.ReadSetting(L""));
}
