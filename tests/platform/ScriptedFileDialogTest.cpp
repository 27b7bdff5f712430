#include <gtest/gtest.h>

#include "ScriptedFileDialog.h"

using platform::FileDialogRequest;
using platform::ScriptedFileDialog;

TEST(ScriptedFileDialog, AnswersFromItsScriptThenCancelsAndRecordsEachRequest) {
    ScriptedFileDialog dialog;
    FileDialogRequest request;
    request.filter = "All|*.*";
    request.filterIndex = 2;
    request.fileName = "a.idf";
    request.flags = 4;

    dialog.QueuePath("/x.apd");
    dialog.QueueCancel();
    EXPECT_EQ(dialog.ShowOpen(request), "/x.apd");
    EXPECT_EQ(dialog.ShowSave(request), std::nullopt);
    EXPECT_EQ(dialog.ShowOpen(request), std::nullopt);  // the script is used up: cancel

    ASSERT_EQ(dialog.Requests().size(), 3u);
    EXPECT_EQ(dialog.Requests()[1].kind, ScriptedFileDialog::Kind::Save);
    EXPECT_EQ(dialog.Requests()[0].request.fileName, "a.idf");
    EXPECT_EQ(dialog.Requests()[0].request.filterIndex, 2);
}
