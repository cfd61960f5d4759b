#include "base/core/DataFolders.h"
#include "base/core/FileListing.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace quillon::listing {
namespace {

using Names = std::vector<std::string>;
using quillon::testing::TempFolder;

FileTime at(std::int64_t seconds, std::uint32_t nanoseconds = 0) { return {seconds, nanoseconds}; }

// Equal times never exchange, so equal entries come out in reverse scan order. In the
// fourth case the exchange of "a" with the older "c" jumps "a" over its twin "b": oldest
// first becomes c, b, a (a stable sort would give c, a, b). Ties in nanoseconds count as
// ties too, and the later exchanges keep them apart.
TEST(ListingOrder, NewestFirstWithTiesAsTheExchangeProcedureLeavesThem)
{
    const std::pair<std::vector<Entry>, Names> cases[] = {
        {{{"b", at(20)}, {"a", at(10)}, {"d", at(40)}, {"c", at(30)}}, {"d", "c", "b", "a"}},
        {{{"old", at(5, 999'999'999)}, {"new", at(6, 0)}, {"mid", at(6, 1)}}, {"mid", "new", "old"}},
        {{{"a", at(7)}, {"b", at(7)}, {"c", at(7)}}, {"c", "b", "a"}},
        {{{"a", at(1)}, {"b", at(1)}, {"c", at(0)}}, {"a", "b", "c"}},
        {{{"x", at(2, 5)}, {"y", at(1)}, {"z", at(2, 5)}, {"w", at(1)}}, {"x", "z", "w", "y"}},
    };
    for (const auto& [entries, names] : cases)
        EXPECT_EQ(listingOrder(entries), names) << entries.front().name;
}

TEST(PatternMatch, ExtensionsMatchInEitherCaseAndNothingElseLoosens)
{
    EXPECT_TRUE(matchesPattern("two.dots.mid", "*.mid"));
    EXPECT_TRUE(matchesPattern("SONG.MID", "*.mid"));
    EXPECT_TRUE(matchesPattern("\377X.CRV", "*.crv"));
    EXPECT_FALSE(matchesPattern("song.mıd", "*.mid")); // dotless i is another letter
    EXPECT_FALSE(matchesPattern("song.midi", "*.mid"));
}

// The windows show the refusal; here, where it starts: 300 matching files, whatever else lies there.
TEST(ListFolder, OnlyMatchingFilesComeNewestFirstByCreationAndThreeHundredListNothing)
{
    TempFolder temp;
    for (const char* name : {"first.crv", "notes.txt", "SECOND.CRV", "third.crv"}) {
        temp.touch(std::string("crv/") + name);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const Names newestFirst{"third.crv", "SECOND.CRV", "first.crv"};
    EXPECT_EQ(listFolder(temp.path() / "crv", "*.crv").names, newestFirst);
    // Rewritten, a file keeps its place by creation where the file system records birth times.
    temp.touch("crv/first.crv", "rewritten");
    FileTime first, third;
    ASSERT_TRUE(creationTime(temp.path() / "crv/first.crv", first) &&
                creationTime(temp.path() / "crv/third.crv", third));
    if (first < third) {
        EXPECT_EQ(listFolder(temp.path() / "crv", "*.crv").names, newestFirst);
    }

    for (int i = 3; i < 299; ++i)
        temp.touch("crv/" + std::to_string(i) + ".crv");
    const FileList most = listFolder(temp.path() / "crv", "*.crv");
    EXPECT_FALSE(most.tooMany);
    EXPECT_EQ(most.names.size(), 299u);
    temp.touch("crv/last.crv");
    const FileList refused = listFolder(temp.path() / "crv", "*.crv");
    EXPECT_TRUE(refused.tooMany);
    EXPECT_TRUE(refused.names.empty());
}

// Where each folder lies is seen by every window test; a name is text appended
// to its folder: a leading '/' does not escape to the disk root.
TEST(DataFolders, NamesStayInsideTheirFolder)
{
    EXPECT_EQ(DataFolders("/data/here").songPath("/etc.mid").lexically_normal(), "/data/here/Quillon/mid/etc.mid");
}

} // namespace
} // namespace quillon::listing
