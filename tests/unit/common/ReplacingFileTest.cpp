// A replaced file is old or new as a whole, and nothing is left under the temporary name.
#include "ReplacingFile.h"
#include "LockedFile.h"
#include "TestFiles.h"
#include <gtest/gtest.h>

namespace {

class ReplacingFileTest : public ::testing::Test {
protected:
    std::wstring Final() const { return m_folder / L"target.dat"; }
    std::wstring Temp() const { return m_folder / L"target.dat.part"; }

    bool WriteNew(ReplacingFile &file, const std::string &strBytes)
    {
        return file.Open(Final(), Temp()) && file.Write(strBytes.data(), static_cast<DWORD>(strBytes.size()));
    }

    TestFolder m_folder;
};

TEST_F(ReplacingFileTest, CommitReplacesTheOldFileWholeInEitherDurability)
{
    ASSERT_TRUE(WriteBytes(Final(), "old contents, longer than the new ones"));
    for (ReplacingFile::Durability durability : {ReplacingFile::KEEP_CACHED, ReplacingFile::FLUSH_TO_DISK}) {
        ReplacingFile file;
        ASSERT_TRUE(WriteNew(file, "new"));
        ASSERT_TRUE(file.Write("er", 2));
        EXPECT_EQ("old contents, longer than the new ones", ReadBytes(Final())) << "replaced before the commit";
        ASSERT_TRUE(file.Commit(durability));
        EXPECT_EQ("newer", ReadBytes(Final()));
        EXPECT_FALSE(PathExists(Temp()));
        ASSERT_TRUE(WriteBytes(Final(), "old contents, longer than the new ones"));
    }
}

TEST_F(ReplacingFileTest, AnEmptyFileIsCommittedAndAMissingFinalFileIsCreated)
{
    ReplacingFile file;
    ASSERT_TRUE(file.Open(Final(), Temp()));
    ASSERT_TRUE(file.Write(nullptr, 0));
    ASSERT_TRUE(file.Commit(ReplacingFile::FLUSH_TO_DISK));
    EXPECT_TRUE(PathExists(Final()));
    EXPECT_EQ("", ReadBytes(Final()));
}

TEST_F(ReplacingFileTest, AbandonedOrDestroyedUncommittedLeavesTheOldFileAndNoTemporary)
{
    ASSERT_TRUE(WriteBytes(Final(), "old"));
    {
        ReplacingFile file;
        ASSERT_TRUE(WriteNew(file, "half of the new"));
        file.Abandon();
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(PathExists(Temp()));
        EXPECT_FALSE(file.Commit(ReplacingFile::KEEP_CACHED)) << "a commit after the abandon";
    }
    {
        ReplacingFile file;
        ASSERT_TRUE(WriteNew(file, "half of the new"));
    }
    EXPECT_FALSE(PathExists(Temp()));
    EXPECT_EQ("old", ReadBytes(Final()));
}

TEST_F(ReplacingFileTest, AFinalFileThatCannotBeReplacedStaysAndTheTemporaryGoes)
{
    ASSERT_TRUE(WriteBytes(Final(), "old"));
    LockedFile holder(Final(), GENERIC_READ, FILE_SHARE_READ);   // open without delete sharing
    ASSERT_TRUE(holder.IsLocked());
    ReplacingFile file;
    ASSERT_TRUE(WriteNew(file, "new"));
    EXPECT_FALSE(file.Commit(ReplacingFile::FLUSH_TO_DISK));
    EXPECT_FALSE(PathExists(Temp()));
    holder.Release();
    EXPECT_EQ("old", ReadBytes(Final()));
}

TEST_F(ReplacingFileTest, ATemporaryThatCannotBeMadeFailsWithoutTouchingTheFinalFile)
{
    ASSERT_TRUE(WriteBytes(Final(), "old"));
    ReplacingFile file;
    EXPECT_FALSE(file.Open(Final(), m_folder / L"no such folder\\target.tmp"));
    EXPECT_FALSE(file.Write("x", 1));
    EXPECT_FALSE(file.Commit(ReplacingFile::KEEP_CACHED));
    EXPECT_EQ("old", ReadBytes(Final()));
}

}   // namespace
