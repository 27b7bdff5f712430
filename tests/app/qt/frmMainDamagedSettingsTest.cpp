// A settings store the window cannot trust: garbage, unreadable, or in a
// folder that cannot be written. The window starts with the defaults and
// closes without a crash every time.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "MemorySerialLine.h"
#include "PlatformServices.h"
#include "QtSettingsStore.h"
#include "ScriptedFileDialog.h"
#include "ScriptedMessageBoxes.h"
#include "TempDataFile.h"
#include "VirtualClock.h"
#include "frmMain.h"
#include "mduGlobalModule.h"

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
        platform::VirtualClock clock;
        platform::ScriptedMessageBoxes boxes;
        platform::ScriptedFileDialog dialog;
        platform::QtSettingsStore store(QString::fromStdString(c.store.string()));
        platform::MemorySerialLine line(clock);
        platform::PlatformServices services{clock, clock, boxes, dialog, store, line};
        {
            frmMain window(services);
            clock.AdvanceBy(frmMain::kTimAutoRunningInterval);
            EXPECT_EQ(window.SelectedPort(), 1);
            EXPECT_EQ(window.FileNameText(), frmMain::DefaultFileName());
            EXPECT_EQ(window.WorkState(), 0);
            window.close();  // saves: replaced, or lost where it cannot be written
            EXPECT_TRUE(window.Exited());
        }
        mduGlobalModule::InitGlobalTables();
        EXPECT_TRUE(boxes.Boxes().empty());
    }
    // The garbage was replaced by a store holding the three settings.
    std::ifstream saved(root / "garbage.conf");
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("GPS%20Comm%20Port=1"), std::string::npos) << text;
}
