#include <gtest/gtest.h>

#include "ScriptedFileDialog.h"

using platform::FileDialogRequest;
using platform::ScriptedFileDialog;

TEST(ScriptedFileDialog, AnswersFromItsScriptThenTheDefaultAndRecordsEachRequest) {
    ScriptedFileDialog dialog;
    FileDialogRequest request;
    request.filter = "All|*.*";
    request.filterIndex = 2;
    request.fileName = "a.idf";
    request.flags = 4;

    dialog.QueuePath("/x.apd");
    dialog.QueueCancel();
    int openWhileShown = 0;
    dialog.SetWhileOpen([&](const ScriptedFileDialog::Request&) { ++openWhileShown; });
    EXPECT_EQ(dialog.ShowOpen(request), "/x.apd");
    EXPECT_EQ(dialog.ShowSave(request), std::nullopt);
    EXPECT_EQ(dialog.ShowOpen(request), std::nullopt);  // default: cancel
    dialog.SetDefaultAnswer("/y.apd");
    EXPECT_EQ(dialog.ShowOpen(request), "/y.apd");

    ASSERT_EQ(dialog.Requests().size(), 4u);
    EXPECT_EQ(dialog.Requests()[1].kind, ScriptedFileDialog::Kind::Save);
    EXPECT_EQ(dialog.Requests()[0].request.fileName, "a.idf");
    EXPECT_EQ(dialog.Requests()[0].request.filterIndex, 2);
    EXPECT_EQ(openWhileShown, 4);
}
