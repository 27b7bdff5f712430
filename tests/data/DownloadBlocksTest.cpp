#include <gtest/gtest.h>

#include <vector>

#include "clsDnLdUnitDataArray.h"
#include "clsDownloadUnit.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(DownloadUnit, SetCopiesFromTheSourcesFirstElement) {
    clsDownloadUnit unit;
    EXPECT_TRUE(unit.DownLoadData().empty());
    Bytes source = {9, 9, 9, 9, 9, 1, 2, 3};
    unit.SetDownLoadData(std::span(source).subspan(5));  // a source starting at element 5
    source[5] = 0xEE;
    EXPECT_EQ(unit.DownLoadData(), (Bytes{1, 2, 3}));
}

TEST(DownloadUnit, SharedDataOutsideTheBufferIsRefused) {
    const clsDownloadUnit::SharedBuffer buffer(new std::uint8_t[4]{1, 2, 3, 4});
    clsDownloadUnit unit;
    EXPECT_TRUE(unit.SetSharedData(buffer, 4, 1, 3));
    EXPECT_EQ(unit.DownLoadData(), (Bytes{2, 3, 4}));
    const clsDownloadUnit copy = unit;
    EXPECT_FALSE(unit.SetSharedData(nullptr, 4, 0, 1));
    for (auto [offset, length] :
         {std::pair<std::size_t, std::size_t>{2, 3}, {5, 0}, {1, SIZE_MAX}}) {
        EXPECT_FALSE(unit.SetSharedData(buffer, 4, offset, length)) << offset << "+" << length;
        EXPECT_TRUE(unit.DownLoadData().empty());
    }
    EXPECT_EQ(copy.DownLoadData(), (Bytes{2, 3, 4})) << "a copy keeps its view";
}

TEST(DnLdUnitDataArray, ItemsByIndexAndKeyFollowAddsAndRemoves) {
    clsDnLdUnitDataArray list;
    clsDownloadUnit* a = list.Add("a");
    clsDownloadUnit* b = list.Add();
    clsDownloadUnit* c = list.Add("c");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(list.Add("a"), nullptr) << "a key already in use adds nothing";
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(1), a);
    EXPECT_EQ(list.Item(2), b);
    EXPECT_EQ(list.Item("c"), c);
    EXPECT_EQ(list.Item(0), nullptr);
    EXPECT_EQ(list.Item(4), nullptr);
    EXPECT_EQ(list.Item("zz"), nullptr);
    EXPECT_EQ(list.Item(""), nullptr);

    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.Item("a"), nullptr) << "removing by index forgets the key";
    EXPECT_EQ(list.Item(1), b);
    EXPECT_TRUE(list.Remove("c"));
    EXPECT_FALSE(list.Remove("c"));
    EXPECT_FALSE(list.Remove(2));
    EXPECT_EQ(list.Count(), 1);
    EXPECT_NE(list.Add("a"), nullptr) << "a removed key can be used again";

    EXPECT_EQ(list.Clear(), 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Item(1), nullptr);
}

TEST(DnLdUnitDataArray, IterationIsInInsertionOrderAndBlocksStayPut) {
    clsDnLdUnitDataArray list;
    clsDownloadUnit* first = list.Add();
    first->SetAddress(-1);
    for (int i = 0; i < 5000; ++i) {
        list.Add()->SetAddress(i);
    }
    EXPECT_EQ(list.Item(1), first) << "the list grew without moving its blocks";
    std::int32_t expected = -1;
    for (const clsDownloadUnit& unit : std::as_const(list)) {
        EXPECT_EQ(unit.Address(), expected++);
    }
    EXPECT_EQ(expected, 5000);
}

}  // namespace
