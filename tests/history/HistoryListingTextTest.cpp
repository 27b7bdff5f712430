// The text listing reaches a terminal: what a unit or a file says is shown
// with its control characters as escapes, one line per run.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "HistoryCommand.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"

namespace fs = std::filesystem;

TEST(HistoryListingText, AUnitsEscapeSequencesAndLineBreaksNeverReachTheTerminalRaw) {
    const fs::path db =
        fs::temp_directory_path() /
        ("gpsupdate-listing-" + std::to_string(ProcessFacts::CurrentPid()) + ".sqlite");
    fs::remove(db);
    std::string error;
    auto store = SqlHistoryStore::Open(db, error);
    ASSERT_NE(store, nullptr) << error;
    HistoryRun run;
    run.id = "hostile";
    run.kind = "update";
    run.startMs = 1'780'000'000'000;
    run.endMs = run.startMs + 1000;
    run.result = "failure";
    run.unitSerial = "GW\x1b]0;x\a\x1b[2J";  // sets the title, clears the screen
    run.fileDataVersion =
        "06\xc2\x9b"
        "01";                                                          // a C1 control
    run.failureStage = "flash\n2026-01-01 00:00:00  update  success";  // a forged line
    run.failureText = "失敗\r\n\x1b[31m";
    ASSERT_TRUE(store->Complete(run)) << store->LastError();
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(HistoryCommand::Run({"list"}, *store, out, err), HistoryCommand::kOk) << err.str();
    // The run's line, between the header and the count.
    const std::string listed = out.str();
    const std::size_t begin = listed.find('\n') + 1;
    const std::string text = listed.substr(begin, listed.rfind("1 run\n") - begin);
    ASSERT_FALSE(text.empty()) << listed;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line: " << text;
    for (const char c : text.substr(0, text.size() - 1)) {
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << text;
    }
    EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos);
    for (const char* shown : {"GW\\e]0;x\\x07\\e[2J", "data 06\\u009B01",
                              "(flash\\n2026-01-01 00:00:00  update  success: 失敗  \\e[31m)"}) {
        EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
    }
    store.reset();
    fs::remove(db);
}
