#include "frmStation.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QVBoxLayout>

#include "HistoryOpener.h"
#include "HistoryResults.h"
#include "HistoryTraceText.h"
#include "ISettingsStore.h"
#include "ServerUrl.h"
#include "SessionTraces.h"
#include "SqlHistoryStore.h"
#include "StationTexts.h"
#include "TerminationWatcher.h"
#include "TileWidget.h"
#include "clsUpdateSequence.h"
#include "mduDataFileCheck.h"
#include "mduDisplayText.h"

namespace {

constexpr int kPorts = 16;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

frmStation::frmStation(const StationOptions& options, const QString& autoProgram,
                       platform::ISettingsStore& settings, QWidget* parent)
    : QMainWindow(parent),
      options_(options),
      launcher_(autoProgram),
      station_(
          launcher_, timers_, [this] { return meter_.ElapsedMs(); }, options.settings),
      settings_(settings) {
    setWindowTitle(QStringLiteral("GPS 多台更新站"));
    // The runs record into the history the station names, else the one
    // their own rule chooses; the same rule finds it here, read only.
    history_ =
        HistoryOpener::Open(HistoryLocation::Choose(options.settings.history, false,
                                                    std::getenv(HistoryLocation::kEnvironment),
                                                    HistoryOpener::DataFolder()),
                            true)
            .store;
    // The count is a glance for the operator: every few seconds is enough,
    // and a read of the file must not run on every refresh of the tiles.
    waiting_ = new QLabel(this);
    statusBar()->addPermanentWidget(waiting_);
    connect(&waitingTimer_, &QTimer::timeout, this, [this] { CountWaitingRuns(); });
    // Only a history server makes runs wait (the children send them on).
    const char* server = std::getenv(ServerUrl::kEnvironment);
    if (server != nullptr && *server != '\0') {
        waitingTimer_.start(5000);
        CountWaitingRuns();
    }
    if (options_.settings.traceFolder.empty() && !options_.noTraces) {
        // Each run's trace, for support, beside the window's own.
        station_.SetTraceFolder(MakeSessionTraceFolder());
    }
    BuildWindow();
    station_.onTileChanged = [this](int port) { dirty_.insert(port); };
    station_.onRunEnded = [this](const Station::Record& record) {
        sounds_.Play(ResultSignal::SoundFor(record.result));
    };
    station_.onFinished = [this] { QTimer::singleShot(0, this, [this] { emit allEnded(); }); };
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    refresh_.start();
    termination_ = new TerminationWatcher(this);
    connect(termination_, &TerminationWatcher::terminationRequested, this, [this] {
        // The host asks: no question, every run ends as the window would.
        closing_ = true;
        station_.StopAll();
        CloseWhenEnded();
    });
    for (const int port : options_.ports) {
        portBoxes_.at(port)->setChecked(true);
    }
    if (!options_.settings.file.empty()) {
        file_->setText(Q(options_.settings.file));
        ShowFileVersion();
    }
}

frmStation::~frmStation() {
    station_.onTileChanged = nullptr;
}

void frmStation::BuildWindow() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("資料檔"), central));
    file_ = new QLineEdit(central);
    fileRow->addWidget(file_, 1);
    auto* browse = new QPushButton(QStringLiteral("瀏覽"), central);
    fileRow->addWidget(browse);
    fileVersion_ = new QLabel(central);
    fileRow->addWidget(fileVersion_);
    column->addLayout(fileRow);
    connect(browse, &QPushButton::clicked, this, [this] { ChooseFile(); });
    connect(file_, &QLineEdit::editingFinished, this, [this] { ShowFileVersion(); });

    auto* portsBox = new QGroupBox(QStringLiteral("傳輸埠"), central);
    auto* portGrid = new QGridLayout(portsBox);
    const std::vector<platform::PortFacts> ports = serial_.DescribePorts(kPorts);
    for (int port = 1; port <= kPorts; ++port) {
        const platform::PortFacts& facts = ports[static_cast<std::size_t>(port - 1)];
        QString label = QStringLiteral("COM%1").arg(port);
        if (!facts.device.empty()) {
            label += QStringLiteral("  ") + Q(facts.device);
        }
        auto* box = new QCheckBox(label, portsBox);
        box->setToolTip(Q(mduDisplayText::PortToolTip(port, facts)));
        portGrid->addWidget(box, (port - 1) / 4, (port - 1) % 4);
        portBoxes_[port] = box;
        connect(box, &QCheckBox::toggled, this, [this, port](bool on) { PortToggled(port, on); });
    }
    column->addWidget(portsBox);

    auto* controls = new QHBoxLayout;
    continuous_ = new QCheckBox(QStringLiteral("連續模式（裝置接上即更新）"), central);
    continuous_->setChecked(options_.settings.continuous);
    force_ = new QCheckBox(QStringLiteral("資料不較舊也更新"), central);
    force_->setChecked(options_.settings.force);
    BuildSoundSwitch(central);
    startAll_ = new QPushButton(QStringLiteral("全部開始"), central);
    startAll_->setEnabled(false);  // until a file that loads is chosen
    auto* stopAll = new QPushButton(QStringLiteral("全部停止"), central);
    counters_ = new QLabel(central);
    controls->addWidget(continuous_);
    controls->addWidget(force_);
    controls->addWidget(sound_);
    controls->addWidget(startAll_);
    controls->addWidget(stopAll);
    controls->addStretch(1);
    controls->addWidget(counters_);
    column->addLayout(controls);
    connect(startAll_, &QPushButton::clicked, this, [this] { StartChosen(); });
    connect(stopAll, &QPushButton::clicked, this, [this] { StopAllAsked(); });

    tileArea_ = new QScrollArea(central);
    tileArea_->setWidgetResizable(true);
    auto* tiles = new QWidget(tileArea_);
    tileGrid_ = new QGridLayout(tiles);
    tileGrid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    tileArea_->setWidget(tiles);
    tileArea_->viewport()->installEventFilter(this);
    column->addWidget(tileArea_, 1);
    setCentralWidget(central);
    // Four tiles a row on a 1280 x 1024 screen, and never larger than the
    // screen the window opens on.
    const QRect room =
        screen() != nullptr ? screen()->availableGeometry() : QRect(0, 0, 1280, 1024);
    resize(std::min(1260, room.width()), std::min(900, room.height() - 40));
}

void frmStation::BuildSoundSwitch(QWidget* parent) {
    sound_ = new QCheckBox(QString::fromUtf8(StationTexts::SoundSwitch), parent);
    connect(&sounds_, &ResultSounds::unavailable, this, [this] {
        const QString text = QString::fromUtf8(StationTexts::NoSoundOutput);
        sound_->setToolTip(text);
        statusBar()->showMessage(text);
    });
    connect(sound_, &QCheckBox::toggled, this, [this](bool on) { sounds_.SetEnabled(on); });
    // Only the operator's click is kept: --sound ticks it for this session.
    connect(sound_, &QCheckBox::clicked, this, [this](bool on) {
        settings_.SaveSetting(kSettingsApp, kSettingsSection, kSoundKey, on ? "1" : "0");
    });
    sound_->setChecked(options_.sound ||
                       settings_.GetSetting(kSettingsApp, kSettingsSection, kSoundKey, "1") != "0");
}

bool frmStation::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tileArea_->viewport() && event->type() == QEvent::Resize) {
        LayOutTiles();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmStation::LayOutTiles() {
    // As many columns as the visible width holds, in port order.
    const int spacing = std::max(tileGrid_->horizontalSpacing(), 0);
    const QMargins margins = tileGrid_->contentsMargins();
    const int room = tileArea_->viewport()->width() - margins.left() - margins.right();
    const int columns = std::max(1, (room + spacing) / (TileWidget::kWidth + spacing));
    if (columns == columns_ && laidOut_ == tiles_.size()) {  // nothing moved
        return;
    }
    columns_ = columns;
    laidOut_ = tiles_.size();
    for (const auto& [port, tile] : tiles_) {
        tileGrid_->removeWidget(tile);
    }
    int at = 0;
    for (const auto& [port, tile] : tiles_) {
        tileGrid_->addWidget(tile, at / columns, at % columns);
        ++at;
    }
}

void frmStation::ChooseFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("資料檔"), file_->text(),
                                     QStringLiteral("GPS 資料檔 (*.apd);;All Files (*)"));
    if (!path.isEmpty()) {
        file_->setText(path);
        ShowFileVersion();
    }
}

void frmStation::ShowFileVersion() {
    // Loaded as every run will load it: a file that does not load starts no
    // port (the station refuses it too).
    const mduDataFileCheck::Result check =
        mduDataFileCheck::Check(file_->text().toStdString(), clsUpdateSequence::kToolVersion);
    startAll_->setEnabled(check.loaded);
    if (file_->text().isEmpty()) {
        fileVersion_->clear();
    } else if (check.loaded) {
        fileVersion_->setText(QStringLiteral("檔案資料版本：") + Q(check.version));
    } else {
        fileVersion_->setText(QStringLiteral("<span style='color:#c62828'>") +
                              Q(check.message).toHtmlEscaped() + QStringLiteral("</span>"));
    }
}

void frmStation::PortToggled(int port, bool on) {
    if (on) {
        if (tiles_.count(port) == 0) {
            station_.AddPort(port);
            auto* tile = new TileWidget(port, tileGrid_->parentWidget());
            connect(tile, &TileWidget::startClicked, this, [this](int p) { StartPort(p); });
            connect(tile, &TileWidget::stopClicked, this, [this](int p) { StopPort(p); });
            connect(tile, &TileWidget::traceClicked, this, [this](int p) { OpenTrace(p); });
            tiles_[port] = tile;
            dirty_.insert(port);
        }
    } else if (tiles_.count(port) != 0 && !station_.Tile(port).ChildRunning() &&
               station_.Tile(port).CurrentPhase() == StationTile::Phase::Idle) {
        delete tiles_.at(port);
        tiles_.erase(port);
    }
    laidOut_ = SIZE_MAX;  // a tile came or went: lay them out again
    LayOutTiles();
}

void frmStation::StartPort(int port) {
    meter_.RestartStalls();
    station_.SetFile(file_->text().toStdString());
    station_.SetForce(force_->isChecked());
    station_.SetContinuous(continuous_->isChecked());
    std::string why;
    if (!station_.Start(port, why)) {
        statusBar()->showMessage(Q(why), 10000);
    }
    dirty_.insert(port);
}

void frmStation::StartChosen() {
    for (const auto& [port, tile] : tiles_) {
        if (!station_.Tile(port).ChildRunning() &&
            station_.Tile(port).CurrentPhase() == StationTile::Phase::Idle) {
            StartPort(port);
        }
    }
}

bool frmStation::ConfirmStop(const std::set<int>& ports) {
    bool updating = false;
    for (const int port : ports) {
        updating = updating || station_.UpdateRunning(port);
    }
    if (!updating) {
        return true;
    }
    return QMessageBox::question(this, windowTitle(), QString::fromUtf8(StationTexts::StopQuestion),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void frmStation::StopPort(int port) {
    if (ConfirmStop({port})) {
        station_.Stop(port);
    }
}

void frmStation::StopAllAsked() {
    const std::vector<int> ports = station_.Ports();
    if (ConfirmStop(std::set<int>(ports.begin(), ports.end()))) {
        station_.StopAll();
    }
}

void frmStation::OpenTrace(int port) {
    // Read as the history window reads it: a desktop file handler may not
    // be there, and the raw lines are not for an operator. The dialog does
    // not block the station: its runs go on while it is open.
    const std::string& path = station_.Tile(port).TracePath();
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("COM%1 執行記錄").arg(port));
    auto* text = new QPlainTextEdit(dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setPlainText(HistoryTraceText::FromFile(Q(path)));
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(text);
    dialog->resize(900, 600);
    dialog->show();
}

// The unit's newest finished update in the history, in a few words.
static QString LastUpdateText(IHistoryStore& history, const std::string& serial) {
    HistoryFilter filter;
    filter.serial = serial;
    filter.limit = 20;
    std::vector<HistoryRun> runs;
    if (!history.List(filter, runs)) {
        return QStringLiteral("(無法讀取記錄)");
    }
    for (const HistoryRun& run : runs) {
        // The filter takes the number's start: this unit's own rows only.
        if (run.kind != "update" || run.result == "running" || run.unitSerial != serial) {
            continue;
        }
        const char* words = "失敗";
        for (const HistoryResults::Word& word : HistoryResults::All()) {
            words = run.result == word.stored ? word.chinese : words;
        }
        return QDateTime::fromMSecsSinceEpoch(run.startMs)
                   .toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
               QStringLiteral(" ") + QString::fromUtf8(words) +
               (run.fileDataVersion.empty()
                    ? QString()
                    : QStringLiteral(" (") + Q(run.fileDataVersion) + QStringLiteral(")"));
    }
    return QStringLiteral("無記錄");
}

void frmStation::CountWaitingRuns() {
    std::int64_t count = 0;
    if (history_ == nullptr || !history_->CountUnsent(count) || count == 0) {
        waiting_->clear();
        return;
    }
    waiting_->setText(QStringLiteral("待送出的記錄 : %1 筆").arg(count));
}

void frmStation::Refresh() {
    for (const int port : dirty_) {
        const auto it = tiles_.find(port);
        if (it != tiles_.end()) {
            const StationTile& tile = station_.Tile(port);
            it->second->Show(
                tile, tile.ChildRunning() || tile.CurrentPhase() != StationTile::Phase::Idle);
            if (history_ && !tile.Serial().empty() && lookedUp_[port] != tile.Serial()) {
                lookedUp_[port] = tile.Serial();
                it->second->SetLastUpdate(LastUpdateText(*history_, tile.Serial()));
            }
        }
    }
    dirty_.clear();
    counters_->setText(QStringLiteral("完成 %1　失敗 %2　略過 %3　每小時 %4 台")
                           .arg(station_.Done())
                           .arg(station_.Failed())
                           .arg(station_.Skipped())
                           .arg(station_.UnitsPerHour(), 0, 'f', 1));
    MaybeScreenshot();
}

void frmStation::MaybeScreenshot() {
    if (options_.screenshot.empty() || screenshotTaken_ || tiles_.empty()) {
        return;
    }
    for (const auto& [port, widget] : tiles_) {
        const StationTile& tile = station_.Tile(port);
        if (tile.CurrentPhase() != StationTile::Phase::Running || tile.ProgressMax() <= 0 ||
            tile.ProgressValue() * 10 < tile.ProgressMax() * 3) {
            return;
        }
    }
    screenshotTaken_ = true;
    if (!grab().save(Q(options_.screenshot), "PNG")) {
        std::fprintf(stderr, "gpsupdate-station: could not save %s\n", options_.screenshot.c_str());
    }
}

void frmStation::CloseWhenEnded() {
    if (!station_.AnyChildRunning()) {
        close();
        return;
    }
    QTimer::singleShot(50, this, [this] { CloseWhenEnded(); });
}

void frmStation::closeEvent(QCloseEvent* event) {
    if (!station_.AnyChildRunning()) {
        station_.StopAll();  // ends hands-free waiting
        event->accept();
        return;
    }
    event->ignore();
    if (closing_) {
        return;  // already ending every run
    }
    const std::vector<int> ports = station_.Ports();
    if (!ConfirmStop(std::set<int>(ports.begin(), ports.end()))) {
        return;
    }
    closing_ = true;
    station_.StopAll();
    CloseWhenEnded();
}
