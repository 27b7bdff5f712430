#pragma once

#include <vector>

#include <QWidget>

#include "HistoryRun.h"

class IHistoryStore;
class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QSpinBox;
class QStandardItemModel;
class QTableView;

// Every recorded run as a table (newest first, every column sortable),
// filtered by serial number, result, days and port, over a chart of the
// updates per day with the failed ones stacked on the good ones. A
// double-click shows the run's trace.
class HistoryWindow final : public QWidget {
    Q_OBJECT

  public:
    // store: nullptr when none could be opened (`error` then says why).
    HistoryWindow(IHistoryStore* store, const QString& error, QWidget* parent = nullptr);

    // Reads the runs again with the filters as set.
    void Reload();

  private:
    void FillTable();
    void FillChart();
    void ShowTrace(int row);

    IHistoryStore* store_;
    std::vector<HistoryRun> runs_;
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
