#include <gtest/gtest.h>

#include "MemorySettingsStore.h"

using platform::MemorySettingsStore;

TEST(MemorySettingsStore, KeepsValuesPerApplicationSectionAndKeyAndLogsWrites) {
    MemorySettingsStore store;
    EXPECT_EQ(store.GetSetting("app", "S", "k", "dflt"), "dflt");
    store.SaveSetting("app", "S", "k", "1");
    store.SaveSetting("app", "T", "k", "2");
    store.SaveSetting("other", "S", "k", "3");
    store.SaveSetting("app", "S", "k", "4");
    EXPECT_EQ(store.GetSetting("app", "S", "k", ""), "4");
    EXPECT_EQ(store.GetSetting("app", "T", "k", ""), "2");
    EXPECT_EQ(store.GetSetting("other", "S", "k", ""), "3");
    EXPECT_EQ(store.Size(), 3u);
    ASSERT_EQ(store.Writes().size(), 4u);
    EXPECT_EQ(store.Writes()[3], (MemorySettingsStore::Write{"app", "S", "k", "4"}));
    EXPECT_EQ(store.ReadKeys().size(), 4u);
}

TEST(MemorySettingsStore, DamagedReadsDefaultsUntilRewrittenUnreadableLosesWrites) {
    MemorySettingsStore store;
    store.Preset("app", "S", "a", "old");
    store.Preset("app", "S", "b", "old");

    store.SetCondition(MemorySettingsStore::Condition::Unreadable);
    EXPECT_EQ(store.GetSetting("app", "S", "a", "dflt"), "dflt");
    store.SaveSetting("app", "S", "a", "new");
    EXPECT_EQ(store.Value("app", "S", "a"), "old");
    EXPECT_EQ(store.Writes().size(), 1u);

    store.SetCondition(MemorySettingsStore::Condition::Damaged);
    EXPECT_EQ(store.GetSetting("app", "S", "a", "dflt"), "dflt");
    // The first write replaces the damaged contents with a fresh store.
    store.SaveSetting("app", "S", "a", "new");
    EXPECT_EQ(store.GetCondition(), MemorySettingsStore::Condition::Healthy);
    EXPECT_EQ(store.GetSetting("app", "S", "a", "dflt"), "new");
    EXPECT_EQ(store.Value("app", "S", "b"), std::nullopt);
}
