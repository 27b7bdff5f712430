#include <gtest/gtest.h>

#include "TempDataFile.h"
#include "WindowHarness.h"
#include "clsApdPacker.h"
#include "mduCommonMessage.h"

namespace {

std::vector<std::uint8_t> GoodImage() {
    clsApdPacker::Settings settings;
    settings.dataFileVersion = "0602";
    settings.flashData = clsApdPacker::SeededBytes(224 * 3, 5);
    settings.parameterData = clsApdPacker::SeededBytes(64, 6);
    return clsApdPacker::Pack(settings).value();
}

}  // namespace

TEST(frmMainDataFile, BrowseOpensInTheCurrentFilesFolderWithTheFileSelected) {
    const TempDataFile file(GoodImage(), "地圖/new.apd");
    const std::string folder = (file.Folder() / "地圖").generic_string();
    WindowHarness h;
    frmMain& w = h.StartIdle();
    const struct {
        std::string current;
        std::string folder;
        std::string fileName;
    } cases[] = {
        {file.Path(), folder, "new.apd"},
        {folder + "/gone.apd", folder, ""},  // no such file: its folder, nothing selected
        {folder + "/", folder, ""},          // a folder (the start-up text)
        {"relative.apd", "", ""},            // not a place the window knows
        {"/no/such/folder/a.apd", "", ""},
    };
    for (const auto& c : cases) {
        w.SetFileNameText(c.current);
        h.dialog.QueueCancel();
        w.BrowseDataFile(true);
        EXPECT_EQ(h.dialog.Requests().back().request.folder, c.folder) << c.current;
        EXPECT_EQ(h.dialog.Requests().back().request.fileName, c.fileName) << c.current;
    }
}
