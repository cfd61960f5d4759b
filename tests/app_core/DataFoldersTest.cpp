#include "app/core/DataFolders.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(DataFolders, PathsStayRelativeToTheWorkingDirectory)
{
    const DataFolders folders;
    EXPECT_EQ(folders.root(), "Quillon");
    EXPECT_EQ(folders.songPath("song.mid"), "Quillon/mid/song.mid");
    EXPECT_EQ(folders.romPath("rom.bin"), "Quillon/bin/rom.bin");
    EXPECT_EQ(folders.curvePath("Hard2.crv"), "Quillon/crv/Hard2.crv");
    EXPECT_EQ(folders.curvePathForName("QZ USER"), "Quillon/crv/QZ USER.crv");
    EXPECT_EQ(folders.syxFolder(), "Quillon/syx");
    EXPECT_EQ(folders.helpPage(), "Quillon/helpfiles/Index.htm");
    EXPECT_TRUE(folders.songPath("song.mid").is_relative());
    EXPECT_TRUE(folders.helpPage().is_relative());
}

TEST(DataFolders, BaseFolderAndOddNamesStayInsideTheRoot)
{
    const DataFolders folders("/data/here");
    EXPECT_EQ(folders.curveFolder(), "/data/here/Quillon/crv");
    EXPECT_EQ(folders.songPath("a b.mid"), "/data/here/Quillon/mid/a b.mid");
    // A name is text appended to the folder: a leading '/' does not escape to the disk root.
    EXPECT_EQ(folders.songPath("/etc.mid").lexically_normal(), "/data/here/Quillon/mid/etc.mid");
}

} // namespace
} // namespace quillon
