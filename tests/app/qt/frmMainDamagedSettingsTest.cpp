// A settings store the window cannot trust: garbage, unreadable, or in a
// folder that cannot be written. The window starts with the defaults and
// closes without a crash every time.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "QtSettingsStore.h"
#include "TempDataFile.h"
#include "WindowHarness.h"

TEST(frmMainSettings, AStoreThatIsGarbageUnreadableOrUnwritableGivesTheDefaults) {
    TempDataFile folder(std::vector<std::uint8_t>{}, "placeholder");
    const std::filesystem::path root = folder.Folder();
    // Garbage: random bytes with NULs, brackets and invalid UTF-8.
    std::vector<std::uint8_t> junk(4096);
    std::mt19937 random(7);
    for (auto& b : junk) {
        b = static_cast<std::uint8_t>(random());
    }
    const std::string header = "[SetupOptions]\nGPS%20Comm%20Port=\xFF\xFE\x00zz\n";
    junk.insert(junk.begin(), header.begin(), header.end());
    std::ofstream(root / "garbage.conf", std::ios::binary)
        .write(reinterpret_cast<const char*>(junk.data()),
               static_cast<std::streamsize>(junk.size()));
    std::filesystem::create_directories(root / "a-folder.conf");
    std::ofstream(root / "a-file") << "not a folder";

    struct Case {
        const char* name;
        std::filesystem::path store;
    };
    for (const Case& c :
         {Case{"garbage", root / "garbage.conf"},
          Case{"a folder where the file should be", root / "a-folder.conf"},
          Case{"a folder that cannot be made", root / "a-file" / "gpsupdate.conf"}}) {
        SCOPED_TRACE(c.name);
        WindowHarness h;  // its services, with the store on the disk
        platform::QtSettingsStore store(QString::fromStdString(c.store.string()));
        platform::PlatformServices services{h.clock, h.clock, h.boxes, h.dialog, store, h.line};
        {
            frmMain window(services);
            h.clock.AdvanceBy(frmMain::kTimAutoRunningInterval);
            EXPECT_EQ(window.SelectedPort(), 1);
            EXPECT_EQ(window.FileNameText(), frmMain::DefaultFileName());
            EXPECT_EQ(window.WorkState(), 0);
            window.close();  // saves: replaced, or lost where it cannot be written
            EXPECT_TRUE(window.Exited());
        }
        EXPECT_TRUE(h.boxes.Boxes().empty());
    }
    // The garbage was replaced by a store holding the three settings.
    std::ifstream saved(root / "garbage.conf");
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("GPS%20Comm%20Port=1"), std::string::npos) << text;
}
