#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include "PackedDataFile.h"
#include "WindowHarness.h"
#include "clsPNV480DnLdData.h"
#include "mduCommonMessage.h"
#include "mduDataFileCheck.h"

TEST(frmMainDataFile, BrowseOpensInTheCurrentFilesFolderWithTheFileSelected) {
    const TempDataFile file(PackedDataFile(224 * 3, 64, "0602", 5).Image(), "地圖/new.apd");
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
        // An interchange file is preset whatever its folder; a cancel keeps the text.
        {"C:\\maps\\OLD.IDF", "", "C:\\maps\\OLD.IDF"},
        {"old.idf", "", "old.idf"},
        {"C:\\maps.idf\\new.apd", "", ""},
        {"C:\\maps.idf\\noext", "", ""},
        {"", "", ""},
        {"C:\\x.idf.bak", "", ""},
    };
    for (const auto& c : cases) {
        w.SetFileNameText(c.current);
        h.dialog.QueueCancel();
        EXPECT_FALSE(w.BrowseDataFile(true)) << c.current;
        const auto& asked = h.dialog.Requests().back();
        EXPECT_EQ(asked.kind, platform::ScriptedFileDialog::Kind::Open);
        EXPECT_EQ(asked.request.filter, "All Files (*.*)|*.*|GPS 資料檔 (*.apd)|*.apd");
        EXPECT_EQ(asked.request.filterIndex, 2);
        EXPECT_EQ(asked.request.flags, 4);
        EXPECT_EQ(asked.request.folder, c.folder) << c.current;
        EXPECT_EQ(asked.request.fileName, c.fileName) << c.current;
        EXPECT_EQ(w.FileNameText(), c.current);
    }

    // What the result tells: a changed choice; saving, any choice.
    w.SetFileNameText("C:\\");
    h.dialog.QueuePath("C:\\");
    EXPECT_FALSE(w.BrowseDataFile(true));
    h.dialog.QueuePath("D:\\a.apd");
    EXPECT_TRUE(w.BrowseDataFile(true));
    h.dialog.QueuePath("D:\\a.apd");
    EXPECT_TRUE(w.BrowseDataFile(false));
    EXPECT_EQ(h.dialog.Requests().back().kind, platform::ScriptedFileDialog::Kind::Save);
    EXPECT_EQ(h.dialog.Requests().back().request.flags, 6);
    h.dialog.QueueCancel();
    EXPECT_FALSE(w.BrowseDataFile(false));
}

TEST(frmMainDataFile, AChosenFileIsCheckedAtOnceWhateverWayItWasChosen) {
    const PackedDataFile good(224 * 3, 64, "0602", 5);
    std::vector<std::uint8_t> damagedImage = good.Image();
    damagedImage.resize(damagedImage.size() - 100);
    const TempDataFile damaged(damagedImage);
    WindowHarness h;
    h.Preset(mduSetupOptions::KeyFileName, good.Path());
    frmMain& w = h.StartIdle();
    const auto versionLine = [&w] {
        const std::string line = w.InfoLine(mduCommonMessage::InfoLineDataFileVersion);
        return line.size() > line.find(':') + 2 ? line.substr(line.find(':') + 2) : "";
    };

    // The file kept from the last time, at start-up.
    EXPECT_EQ(versionLine(), "0602");
    EXPECT_EQ(w.MessageText(), std::string(mduDataFileCheck::FileReadyText) + "0602");

    // The command line: a damaged file is reported before any unit is greeted.
    w.ChooseDataFile(damaged.Path());
    EXPECT_EQ(versionLine(), "");
    EXPECT_EQ(w.MessageText(), clsPNV480DnLdData::MessageContent());
    EXPECT_EQ(w.MessageColour(), QColor(255, 0, 0));
    EXPECT_TRUE(h.line.Writes().empty());

    // Browse, the idle state's business.
    QPushButton* browse = h.Control<QPushButton>("cmdBrowser");
    h.dialog.QueuePath(good.Path());
    browse->click();
    EXPECT_EQ(w.WorkPage().Event, 8);
    EXPECT_EQ(versionLine(), "0602");
    EXPECT_EQ(w.MessageText(), std::string(mduDataFileCheck::FileReadyText) + "0602");
    EXPECT_EQ(w.MessageColour(), QGuiApplication::palette().color(QPalette::WindowText));

    // Typed: checked when the operator leaves the box after changing it.
    QLineEdit* box = h.Control<QLineEdit>("txtFileName");
    w.ShowInfoMessage("");
    box->setText(QString::fromStdString(good.Path()));
    box->setModified(true);
    emit box->editingFinished();
    EXPECT_EQ(w.MessageText(), std::string(mduDataFileCheck::FileReadyText) + "0602");
    w.ShowInfoMessage("");
    emit box->editingFinished();  // unchanged since: not loaded again
    EXPECT_EQ(w.MessageText(), "");

    // A cancelled Browse leaves the displays alone.
    h.dialog.QueueCancel();
    browse->click();
    EXPECT_EQ(w.MessageText(), "");

    // Outside idle the button is not the sequence's business.
    w.ChangeWorkState(3);
    const std::size_t asked = h.dialog.Requests().size();
    browse->click();
    EXPECT_EQ(h.dialog.Requests().size(), asked);
}
