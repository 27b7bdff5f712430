#include "HistoryWindow.h"

#include <algorithm>
#include <utility>

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include "DayStats.h"
#include "HistoryDays.h"
#include "HistoryResults.h"
#include "HistoryTraceText.h"

namespace {

constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kRunRole = Qt::UserRole + 2;
// The chart shows this many days, up to the newest one listed.
constexpr int kChartDays = 14;
const QDate kNoDay(2000, 1, 1);

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QStandardItem* Item(const QString& text, const QVariant& sortKey) {
    auto* item = new QStandardItem(text);
    item->setData(sortKey, kSortRole);
    item->setEditable(false);
    return item;
}

QDateEdit* DayBox(QWidget* parent) {
    auto* box = new QDateEdit(parent);
    box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    box->setCalendarPopup(true);
    box->setMinimumDate(kNoDay);
    box->setSpecialValueText(QStringLiteral("不限日期"));
    box->setDate(kNoDay);
    return box;
}

// This PC's file or the server; the server is offered, not to be chosen,
// when none was named (its tip says how to name one).
QComboBox* SourceBox(const HistorySources& sources, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("source"));
    box->addItem(QStringLiteral("本機記錄檔"));
    box->setItemData(0, sources.localName, Qt::ToolTipRole);
    box->addItem(QStringLiteral("記錄伺服器 (所有工作站)"));
    box->setItemData(1,
                     sources.server ? sources.serverName
                                    : QStringLiteral("未設定記錄伺服器: 以 --server URL 啟動 "
                                                     "gpsupdate-history"),
                     Qt::ToolTipRole);
    if (auto* items = qobject_cast<QStandardItemModel*>(box->model()); !sources.server && items) {
        items->item(1)->setEnabled(false);
    }
    return box;
}

}  // namespace

HistoryWindow::HistoryWindow(HistorySources sources, QWidget* parent)
    : QWidget(parent), sources_(std::move(sources)) {
    setWindowTitle(QStringLiteral("GPS 資料更新記錄"));
    // Answers come on the reader's thread and are taken on the window's.
    reader_ = std::make_unique<HistoryReader>([this](HistoryReader::Answer answer) {
        QMetaObject::invokeMethod(
            this, [this, answer = std::move(answer)]() mutable { Take(std::move(answer)); },
            Qt::QueuedConnection);
    });
    bound_ = new QTimer(this);
    bound_->setSingleShot(true);
    connect(bound_, &QTimer::timeout, this, &HistoryWindow::GiveUp);
    source_ = SourceBox(sources_, this);
    source_->setCurrentIndex(sources_.onServer && sources_.server ? 1 : 0);
    serial_ = new QLineEdit(this);
    serial_->setPlaceholderText(QStringLiteral("GPS序號"));
    serial_->setClearButtonEnabled(true);
    result_ = new QComboBox(this);
    result_->addItem(QStringLiteral("全部結果"), QString());
    // Shown in Chinese, filtered by the stored word.
    for (const HistoryResults::Word& word : HistoryResults::All()) {
        result_->addItem(QString::fromUtf8(word.chinese), QLatin1String(word.stored));
    }
    from_ = DayBox(this);
    to_ = DayBox(this);
    port_ = new QSpinBox(this);
    port_->setRange(0, 16);
    port_->setPrefix(QStringLiteral("COM"));
    port_->setSpecialValueText(QStringLiteral("全部傳輸埠"));
    auto* reload = new QPushButton(QStringLiteral("重新讀取"), this);

    auto* filters = new QHBoxLayout;
    filters->addWidget(source_, 1);
    filters->addWidget(serial_, 2);
    filters->addWidget(result_, 1);
    filters->addWidget(new QLabel(QStringLiteral("從"), this));
    filters->addWidget(from_, 1);
    filters->addWidget(new QLabel(QStringLiteral("到"), this));
    filters->addWidget(to_, 1);
    filters->addWidget(port_, 1);
    filters->addWidget(reload);

    model_ = new QStandardItemModel(this);
    model_->setHorizontalHeaderLabels(
        {QStringLiteral("開始時間"), QStringLiteral("作業"), QStringLiteral("結果"),
         QStringLiteral("秒數"), QStringLiteral("傳輸埠"), QStringLiteral("GPS序號"),
         QStringLiteral("GPS程式版本"), QStringLiteral("GPS資料版本"),
         QStringLiteral("檔案資料版本"), QStringLiteral("更新後資料版本"),
         QStringLiteral("資料區塊"), QStringLiteral("重送"), QStringLiteral("異常狀況"),
         QStringLiteral("程式"), QStringLiteral("電腦")});
    sorted_ = new QSortFilterProxyModel(this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(kSortRole);
    table_ = new QTableView(this);
    table_->setModel(sorted_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(0, Qt::DescendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);

    chart_ = new QChartView(this);
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumHeight(220);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table_);
    split->addWidget(chart_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addWidget(status_);
    resize(1100, 720);

    connect(source_, &QComboBox::currentIndexChanged, this, &HistoryWindow::Reload);
    connect(serial_, &QLineEdit::returnPressed, this, &HistoryWindow::Reload);
    connect(serial_, &QLineEdit::textChanged, this, [this] {
        if (serial_->text().isEmpty()) {
            Reload();
        }
    });
    connect(result_, &QComboBox::currentIndexChanged, this, &HistoryWindow::Reload);
    connect(from_, &QDateEdit::dateChanged, this, &HistoryWindow::Reload);
    connect(to_, &QDateEdit::dateChanged, this, &HistoryWindow::Reload);
    connect(port_, &QSpinBox::valueChanged, this, &HistoryWindow::Reload);
    connect(reload, &QPushButton::clicked, this, &HistoryWindow::Reload);
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { ShowTrace(sorted_->mapToSource(index).row()); });
    FillChart();  // its days, empty, until the first reading answers
    Reload();
}

HistoryWindow::~HistoryWindow() {
    reader_.reset();  // nothing is handed over from here on
}

bool HistoryWindow::OnServer() const {
    return source_->currentIndex() == 1 && sources_.server;
}

void HistoryWindow::Reload() {
    HistoryFilter filter;
    filter.serial = serial_->text().trimmed().toStdString();
    filter.result = result_->currentData().toString().toStdString();
    if (from_->date() != kNoDay) {
        filter.fromDay = from_->date().toString(Qt::ISODate).toStdString();
    }
    if (to_->date() != kNoDay) {
        filter.toDay = to_->date().toString(Qt::ISODate).toStdString();
    }
    filter.port = port_->value();
    reading_ = reader_->Read(OnServer() ? sources_.server : sources_.local, filter);
    bound_->start(sources_.boundMs);
    status_->setText(OnServer()
                         ? QStringLiteral("正在讀取記錄伺服器 %1 ...").arg(sources_.serverName)
                         : QStringLiteral("正在讀取本機記錄檔 ..."));
}

void HistoryWindow::Take(HistoryReader::Answer answer) {
    if (answer.reading != reading_) {
        return;  // a reading given up, or one a newer one replaced
    }
    bound_->stop();
    if (!answer.ok) {
        Failed((OnServer() ? QStringLiteral("無法讀取記錄伺服器 : ")
                           : QStringLiteral("無法讀取本機記錄檔 : ")) +
               Text(answer.error));
        return;
    }
    runs_ = std::move(answer.runs);
    status_->setText(QStringLiteral("%1 筆記錄 (%2)")
                         .arg(runs_.size())
                         .arg(OnServer() ? QStringLiteral("記錄伺服器 ") + sources_.serverName
                                         : QStringLiteral("本機記錄檔 ") + sources_.localName));
    FillTable();
    FillChart();
}

void HistoryWindow::GiveUp() {
    reader_->GiveUp();
    reading_ = 0;
    Failed(QStringLiteral("%1 %2 秒內沒有回應")
               .arg(OnServer() ? QStringLiteral("記錄伺服器 ") + sources_.serverName
                               : QStringLiteral("本機記錄檔 ") + sources_.localName,
                    QString::number(sources_.boundMs / 1000.0)));
}

// What went wrong, that the runs shown are the ones read before, and what
// to do.
void HistoryWindow::Failed(const QString& what) {
    const QString kept = runs_.empty() ? QString() : QStringLiteral("畫面保留上次讀取的記錄; ");
    status_->setText(what + QStringLiteral("。") + kept +
                     (OnServer() ? QStringLiteral("請確認網路與伺服器後按「重新讀取」, "
                                                  "或改選本機記錄檔。")
                                 : QStringLiteral("請確認記錄檔後按「重新讀取」。")));
}

void HistoryWindow::FillTable() {
    model_->removeRows(0, model_->rowCount());
    model_->setRowCount(0);
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        const HistoryRun& run = runs_[i];
        QString failure = Text(run.failureText);
        failure.replace(QLatin1String("\r\n"), QLatin1String(" / "));
        if (!run.failureStage.empty()) {
            failure =
                Text(HistoryResults::InChinese(run.failureStage)) + QStringLiteral("：") + failure;
        }
        QList<QStandardItem*> row = {
            Item(Text(HistoryDays::LocalTime(run.startMs)), QVariant::fromValue(run.startMs)),
            Item(Text(HistoryResults::InChinese(run.kind)), Text(run.kind)),
            Item(Text(HistoryResults::InChinese(run.result)), Text(run.result)),
            Item(run.endMs > 0 ? QString::number(run.Seconds(), 'f', 1) : QString(), run.Seconds()),
            Item(run.port > 0 ? QStringLiteral("COM%1").arg(run.port) : QString(), run.port),
            Item(Text(run.unitSerial), Text(run.unitSerial)),
            Item(Text(run.unitProgramVersion), Text(run.unitProgramVersion)),
            Item(Text(run.unitDataVersion), Text(run.unitDataVersion)),
            Item(Text(run.fileDataVersion), Text(run.fileDataVersion)),
            // What the unit holds after a successful update.
            Item(Text(run.unitDataVersionAfter), Text(run.unitDataVersionAfter)),
            Item(QString::number(run.blocksWritten), QVariant::fromValue(run.blocksWritten)),
            Item(QString::number(run.retries), QVariant::fromValue(run.retries)),
            Item(failure, failure), Item(Text(run.program), Text(run.program)),
            Item(Text(run.host), Text(run.host))};
        row[0]->setData(static_cast<qulonglong>(i), kRunRole);
        if (IsFailedRun(run)) {
            row[2]->setForeground(QColor(Qt::red));
        }
        model_->appendRow(row);
    }
    table_->resizeColumnsToContents();
}

void HistoryWindow::FillChart() {
    std::vector<DayStats> days = StatsByDay(runs_);
    QDate last =
        days.empty() ? QDate::currentDate() : QDate::fromString(Text(days.back().day), Qt::ISODate);
    if (to_->date() != kNoDay) {
        last = to_->date();
    }
    auto* good = new QBarSet(QStringLiteral("更新成功"));
    auto* failed = new QBarSet(QStringLiteral("更新失敗"));
    good->setColor(QColor(0x3a, 0x7d, 0xc9));
    failed->setColor(QColor(0xd9, 0x3b, 0x3b));
    QStringList categories;
    int highest = 1;
    for (int back = kChartDays - 1; back >= 0; --back) {
        const QDate day = last.addDays(-back);
        const std::string name = day.toString(Qt::ISODate).toStdString();
        const auto found = std::find_if(days.begin(), days.end(),
                                        [&name](const DayStats& d) { return d.day == name; });
        // Skipped updates and those cancelled before the erase are neither.
        const int successes = found == days.end() ? 0 : found->updateSuccesses;
        const int failures = found == days.end() ? 0 : found->updateFailures;
        *good << successes;
        *failed << failures;
        highest = std::max(highest, successes + failures);
        categories << day.toString(QStringLiteral("MM-dd"));
    }
    auto* series = new QStackedBarSeries;
    series->append(good);
    series->append(failed);
    auto* chart = new QChart;
    chart->addSeries(series);
    // What the bars leave out is said where they are read.
    chart->setTitle(QStringLiteral(
        "每日資料更新 (略過與清除資料前取消的更新沒有變更裝置資料, 不列入; 清除後取消算失敗)"));
    auto* xAxis = new QBarCategoryAxis;
    xAxis->append(categories);
    chart->addAxis(xAxis, Qt::AlignBottom);
    series->attachAxis(xAxis);
    auto* yAxis = new QValueAxis;
    // Whole units only: a tick at every unit, or at a whole step for more.
    yAxis->setRange(0, highest);
    yAxis->setLabelFormat(QStringLiteral("%d"));
    yAxis->setTickType(QValueAxis::TicksDynamic);
    yAxis->setTickAnchor(0);
    yAxis->setTickInterval(std::max(1, (highest + 4) / 5));
    chart->addAxis(yAxis, Qt::AlignLeft);
    series->attachAxis(yAxis);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;
}

void HistoryWindow::ShowTrace(int row) {
    const QStandardItem* item = model_->item(row, 0);
    if (item == nullptr) {
        return;
    }
    const HistoryRun& run = runs_.at(item->data(kRunRole).toULongLong());
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("%1 的作業, %2")
                              .arg(Text(HistoryDays::LocalTime(run.startMs)),
                                   Text(HistoryResults::InChinese(run.result))));
    auto* text = new QPlainTextEdit(&dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QString head = QStringLiteral("%1 : GPS序號 %2, 傳輸埠 COM%3 (%4), 資料檔 %5 (%6)\n\n")
                       .arg(Text(HistoryResults::InChinese(run.kind)), Text(run.unitSerial),
                            QString::number(run.port), Text(run.device), Text(run.fileName),
                            Text(run.fileDataVersion));
    text->setPlainText(head + HistoryTraceText::FromFile(Text(run.tracePath)));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    dialog.resize(900, 600);
    dialog.exec();
}
