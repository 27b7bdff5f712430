#pragma once

#include <memory>
#include <vector>

#include <QWidget>

#include "HistoryReader.h"
#include "HistoryRun.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QSpinBox;
class QStandardItemModel;
class QTableView;
class QTimer;

// Where the window reads the runs: this PC's history file, and the history
// server every station records to (none when no server was named).
struct HistorySources {
    HistoryReader::Opener local;
    QString localName;
    HistoryReader::Opener server;  // empty: no server
    QString serverName;            // its URL, without a password
    bool onServer = false;         // read from the server at the start
    // A reading that has not answered by then is given up: the window says
    // so and keeps the runs it shows.
    int boundMs = 10000;
};

// Every recorded run as a table (newest first, every column sortable),
// filtered by serial number, result, days and port, over a chart of the
// updates per day with the failed ones stacked on the good ones. A
// double-click shows the run's trace.
//
// The runs are read off the window's thread (HistoryReader): while a reading
// runs the window says so and stays in use; one that fails or passes its
// bound is said with what to do, and the runs shown before stay.
class HistoryWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit HistoryWindow(HistorySources sources, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the runs again with the source and the filters as set.
    void Reload();

  private:
    bool OnServer() const;
    void Take(HistoryReader::Answer answer);
    void GiveUp();
    void Failed(const QString& what);
    void FillTable();
    void FillChart();
    void ShowTrace(int row);

    HistorySources sources_;
    std::unique_ptr<HistoryReader> reader_;
    std::uint64_t reading_ = 0;
    QTimer* bound_;
    std::vector<HistoryRun> runs_;
    QComboBox* source_;
    QLineEdit* serial_;
    QComboBox* result_;
    QDateEdit* from_;
    QDateEdit* to_;
    QSpinBox* port_;
    QLabel* status_;
    QStandardItemModel* model_;
    QSortFilterProxyModel* sorted_;
    QTableView* table_;
    QChartView* chart_;
};
