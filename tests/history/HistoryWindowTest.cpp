// The history window reading the server the tests start: every station's
// runs, and servers that cannot answer, off the window's thread.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTableView>
#include <QTimer>

#include "HistoryServerFixture.h"
#include "HistoryWindow.h"

using namespace historytest;

namespace {

// Runs the window's event loop until its status no longer says it is
// reading; the longest the loop went without turning, and the time taken.
struct Waited {
    qint64 longestGapMs = 0;
    qint64 tookMs = 0;
};

Waited UntilRead(const QLabel& status, int withinMs) {
    Waited waited;
    QElapsedTimer total;
    QElapsedTimer gap;
    total.start();
    gap.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { waited.longestGapMs = std::max(waited.longestGapMs, gap.restart()); });
    ticker.start(10);
    while (status.text().startsWith(QStringLiteral("正在讀取")) && total.elapsed() < withinMs) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    waited.tookMs = total.elapsed();
    return waited;
}

}  // namespace

// The window shows this PC's two runs, then is switched to the server: its
// three runs; or a port that never answers, one where nothing listens, a
// server that refuses the password, or an answer later than the window's
// bound: said with the reason and what to do, the two runs kept. The
// window's thread turns all the while.
TEST_F(HistoryServer, TheWindowReadsTheServerOffItsThreadAndKeepsItsRunsWhenItCannot) {
    auto local = Local();
    for (const char* id : {"here-1", "here-2"}) {
        ASSERT_TRUE(local->Complete(MakeRun(id, "success")));
    }
    std::string error;
    auto server = ServerHistoryStore::Open(url_, error);
    ASSERT_NE(server, nullptr) << error;
    ASSERT_TRUE(server->Send({MakeRun("there-1", "success"), MakeRun("there-2", "failure"),
                              MakeRun("there-3", "success")}));
    server.reset();
    const SilentPort silent(true);
    const SilentPort gone(false);
    ServerUrl quiet = url_;
    quiet.port = silent.port;
    ServerUrl absent = url_;
    absent.port = gone.port;
    ServerUrl wrongPassword = url_;
    wrongPassword.password = "not-the-password";
    const struct {
        const char* what;
        ServerUrl url;
        int boundMs;
        int rows;
        const char* said;
        qint64 withinMs;
    } cases[] = {
        {"the server", url_, 10000, 3, "3 筆記錄 (記錄伺服器 ", 5000},
        // libpq gives up the connection it never heard from.
        {"silent", quiet, 10000, 2, "timeout", ServerHistoryStore::kConnectSeconds * 1000 + 1500},
        {"gone", absent, 10000, 2, "無法讀取記錄伺服器 : ", 1500},
        {"wrong password", wrongPassword, 10000, 2, "password authentication failed", 5000},
        {"past the bound", quiet, 700, 2, "0.7 秒內沒有回應", 1500},
    };
    const HistoryReader::Opener readLocal =
        [file = folder_ / "history.sqlite"](const std::shared_ptr<CallDeadline>&,
                                            std::string& error) -> std::unique_ptr<IHistoryStore> {
        return SqlHistoryStore::Open(file, error, {.readOnly = true});
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HistoryWindow window(
            {.local = readLocal,
             .localName = QStringLiteral("history.sqlite"),
             .server = [url = c.url](const std::shared_ptr<CallDeadline>& deadline,
                                     std::string& error) -> std::unique_ptr<IHistoryStore> {
                 return ServerHistoryStore::Open(url, error, deadline);
             },
             .serverName = QString::fromStdString(c.url.Shown()),
             .boundMs = c.boundMs});
        auto* status = window.findChild<QLabel*>(QStringLiteral("status"));
        const QAbstractItemModel* rows = window.findChild<QTableView*>()->model();
        ASSERT_NE(status, nullptr);
        UntilRead(*status, 5000);
        ASSERT_EQ(rows->rowCount(), 2) << status->text().toStdString();

        QElapsedTimer switching;
        switching.start();
        window.findChild<QComboBox*>(QStringLiteral("source"))->setCurrentIndex(1);
        const qint64 switchMs = switching.elapsed();
        EXPECT_TRUE(status->text().startsWith(QStringLiteral("正在讀取記錄伺服器")));
        const Waited waited = UntilRead(*status, 15000);
        const std::string said = status->text().toStdString();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(rows->rowCount(), c.rows) << said;
        EXPECT_LT(waited.tookMs, c.withinMs) << said;
        // What each unit holds after the run: the successful ones' version.
        int after = 0;
        for (int column = 0; column < rows->columnCount(); ++column) {
            if (rows->headerData(column, Qt::Horizontal).toString() ==
                QStringLiteral("更新後資料版本")) {
                for (int row = 0; row < rows->rowCount(); ++row) {
                    after += rows->index(row, column).data().toString() == QStringLiteral("0601");
                }
            }
        }
        EXPECT_EQ(after, 2) << "the two successful runs";
        EXPECT_LT(std::max(switchMs, waited.longestGapMs), 250) << "the window's thread was held";
        if (c.rows == 2) {
            EXPECT_NE(said.find("畫面保留上次讀取的記錄; 請確認網路與伺服器後按「重新讀取」"),
                      std::string::npos)
                << said;
        }
    }
}
