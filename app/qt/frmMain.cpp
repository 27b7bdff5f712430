#include "frmMain.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLayout>
#include <QPalette>
#include <QSessionManager>
#include <QShowEvent>

#include "ProgramMessageBoxes.h"
#include "QtText.h"
#include "TerminationWatcher.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsRandom.h"
#include "clsUnitConfig1.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfig3.h"
#include "clsUnitConfigBase.h"
#include "mduCommonMessage.h"
#include "mduDataFileCheck.h"
#include "mduDisplayText.h"
#include "mduGlobalModule.h"
#include "mduSetupOptions.h"
#include "ui_frmMain.h"

namespace {

QColor ToQColor(const mduDisplayText::Rgb& rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

}  // namespace

frmMain::frmMain(platform::PlatformServices& services, QWidget* parent)
    : QWidget(parent),
      m_Services(services),
      m_Boxes(services.messageBoxes),
      ui(std::make_unique<Ui::frmMain>()),
      m_timAutoRunning(services.timers.CreateTimer()),
      m_tmrOneSecTimer(services.timers.CreateTimer()),
      m_tmrWaitTimeOut(services.timers.CreateTimer()),
      m_tmeFrameSpace(services.timers.CreateTimer()),
      m_Sequence(*this) {
    // Faults found by plain code from here on are shown in this window's boxes.
    m_PreviousProgramBoxes = &platform::ProgramMessageBoxes::Get();
    platform::ProgramMessageBoxes::Set(&m_Boxes);
    m_ProgramBoxesInstalled = true;

    ui->setupUi(this);
    m_WindowTextColour = QGuiApplication::palette().color(QPalette::WindowText);
    // No item is selected until start-up selects the driver's port.
    ui->ComboComPort->setCurrentIndex(-1);
    for (const char* label : mduCommonMessage::InfoLineLabels) {
        ui->lsbxDownloadInformation->addItem(QString::fromUtf8(label));
    }
    FitDisplays();

    // The window's timers, with their design intervals, all stopped.
    m_timAutoRunning->SetInterval(kTimAutoRunningInterval);
    m_tmrOneSecTimer->SetInterval(kOneSecTimerInterval);
    m_tmrWaitTimeOut->SetInterval(kWaitTimeOutInterval);
    m_tmeFrameSpace->SetInterval(kFrameSpaceInterval);
    m_timAutoRunning->SetOnTimer([this] { OnAutoRunningTick(); });
    m_tmrOneSecTimer->SetOnTimer([this] { m_Sequence.WorkPageStateMachine(kEventOneSecond); });

    connect(ui->cmdAutoCommPortScan, &QPushButton::clicked, this,
            [this] { m_Sequence.WorkPageStateMachine(kEventAutoPortScan); });
    connect(ui->cmdHelloDevice, &QPushButton::clicked, this,
            [this] { m_Sequence.WorkPageStateMachine(kEventHelloDevice); });
    connect(ui->cmdBrowser, &QPushButton::clicked, this,
            [this] { m_Sequence.WorkPageStateMachine(kEventBrowse); });
    connect(ui->cmdDownLoadStart, &QPushButton::clicked, this,
            [this] { m_Sequence.WorkPageStateMachine(kEventDownLoadStart); });
    connect(ui->cmdExit, &QPushButton::clicked, this, [this] { close(); });
    connect(ui->ComboComPort, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnComboComPortClick(index); });
    // A name typed into the box is checked when the operator leaves it.
    connect(ui->txtFileName, &QLineEdit::editingFinished, this, [this] {
        if (ui->txtFileName->isModified() && !m_WorkingBusy) {
            CheckChosenDataFile();
        }
    });
    ui->ComboComPort->installEventFilter(this);

    // The host ending the session, or asking the program to end.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { CloseForSessionEnd(); });
    }
    m_TerminationWatcher = new TerminationWatcher(this);
    connect(m_TerminationWatcher, &TerminationWatcher::terminationRequested, this,
            [this] { CloseForTermination(); });

    InitialiseWindow();
    LoadWindow();
}

frmMain::~frmMain() {
    // Terminate: whatever an unload left, released now.
    StopWindowTimers();
    ReleaseWorkObjects();
    ReleaseProgramObjects();
}

void frmMain::ReleaseProgramObjects() {
    if (m_UnitConfig1) {
        m_UnitConfig1->SetUnitConfigBase(nullptr);
    }
    m_UnitConfigBase.reset();
    if (m_ProgramBoxesInstalled) {
        platform::ProgramMessageBoxes::Set(m_PreviousProgramBoxes);
        m_ProgramBoxesInstalled = false;
    }
}

// --- Start-up ----------------------------------------------------------------

std::string frmMain::DefaultFileName() {
#ifdef Q_OS_WIN
    constexpr bool kWindows = true;
#else
    constexpr bool kWindows = false;
#endif
    return mduSetupOptions::DefaultFileName(kWindows, platform::ToStdString(QDir::homePath()));
}

void frmMain::InitialiseWindow() {
    mduGlobalModule::InitGlobalTables();
    m_WorkingBusy = false;
    m_UnitConfigBase = std::make_unique<clsUnitConfigBase>();
}

void frmMain::LoadWindow() {
    ui->frmDebugArea->hide();
    ApplyWindowHeight();

    m_UnitConfig1 = std::make_unique<clsUnitConfig1>(*m_UnitConfigBase);
    m_UnitConfig2 = std::make_unique<clsUnitConfig2>();
    m_UnitConfig3 = std::make_unique<clsUnitConfig3>();
    m_ClsComm = std::make_unique<clsComm>();
    m_Random = std::make_unique<clsRandom>();
    m_Commands =
        std::make_unique<clsCommandLayer>(*m_ClsComm, *m_Random, *m_UnitConfig2, *m_UnitConfigBase,
                                          static_cast<IHostImageDisplay*>(this));
    m_Commands->SetFrameObserver([this](std::span<const std::uint8_t> frame, std::int32_t code) {
        if (m_Observer != nullptr) {
            m_Observer->OnFrameOut(frame, code);
        }
    });

    ui->txtFileName->setText(platform::ToQString(DefaultFileName()));
    try {
        m_Services.serial.SetInputMode(1);
    } catch (const std::exception&) {
        // The driver primes the control again when it opens the port.
    }

    RestoreSetupOptions();

    m_ClsComm->SetmFrameSpaceTimer(m_tmeFrameSpace.get());
    m_ClsComm->SetmFrameTimeOutTimer(m_tmrWaitTimeOut.get());
    m_ClsComm->SetmMsComm(&m_Services.serial);
    m_ClsComm->SetCommResponseMessage(
        [this](std::int32_t vCommEvent, const std::vector<std::uint8_t>& vMessage) {
            OnCommResponseMessage(vCommEvent, vMessage);
        });

    // Raises the combo's click, which hands the same number back to the driver.
    RefreshPortItems();
    ui->ComboComPort->setCurrentIndex(m_ClsComm->ComPort() - 1);

    ChangeWorkState(0);
}

void frmMain::RestoreSetupOptions() {
    using namespace mduSetupOptions;
    platform::ISettingsStore& store = m_Services.settings;
    const std::string restore = store.GetSetting(AppName, Section, KeyAutoSave, AutoSaveDefault);
    if (!RestoreRequested(restore)) {
        return;
    }
    ui->txtFileName->setText(platform::ToQString(store.GetSetting(
        AppName, Section, KeyFileName, platform::ToStdString(ui->txtFileName->text()))));
    const std::string port =
        store.GetSetting(AppName, Section, KeyCommPort, std::to_string(m_ClsComm->ComPort()));
    // A stored port that is not one of the list's ports leaves the driver's own.
    if (const std::optional<std::int16_t> number = ParsePort(port)) {
        m_ClsComm->SetComPort(*number);
    }
}

// --- Window events ---------------------------------------------------------------

void frmMain::OnAutoRunningTick() {
    if (!m_AutoRunning) {
        return;
    }
    m_timAutoRunning->SetEnabled(false);
    m_Sequence.WorkPageStateMachine(kEventAutoRunning);
}

void frmMain::OnCommResponseMessage(std::int32_t vCommEvent,
                                    const std::vector<std::uint8_t>& vMessage) {
    if (m_Observer != nullptr) {
        m_Observer->OnFrameIn(vCommEvent, vMessage);
    }
    switch (vCommEvent) {
        case 1:
            m_Sequence.WorkPageStateMachine(kEventReplyReceived, vMessage);
            break;
        case 0:
            m_Sequence.WorkPageStateMachine(kEventSentNoReply, vMessage);
            break;
        case 2:
            m_Sequence.WorkPageStateMachine(kEventReplyTimeOut, vMessage);
            break;
        default:
            break;
    }
}

void frmMain::RefreshPortToolTip(bool askSystem) {
    const int port = SelectedPort();
    if (port < 1) {
        return;
    }
    // Asking the system walks its device tree; a number just picked from the
    // list has the facts the list was made of.
    const auto listed = static_cast<std::size_t>(port - 1);
    const platform::PortFacts facts = !askSystem && listed < m_ListedPorts.size()
                                          ? m_ListedPorts[listed]
                                          : m_Services.serial.DescribePort(port);
    ui->ComboComPort->setToolTip(platform::ToQString(mduDisplayText::PortToolTip(port, facts)));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->ComboComPort) {
        switch (event->type()) {
            case QEvent::ToolTip:
            case QEvent::MouseButtonPress:
            case QEvent::KeyPress:
                // The list is pointed at or opened: an adapter may just have
                // been plugged in.
                RefreshPortToolTip();
                if (event->type() != QEvent::ToolTip) {
                    RefreshPortItems();
                }
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::OnComboComPortClick(int index) {
    RefreshPortToolTip(false);
    if (!m_ClsComm || index < 0) {
        return;
    }
    // Item n is COM n+1, whatever its text says of the device.
    m_ClsComm->SetComPort(static_cast<std::int16_t>(index + 1));
}

void frmMain::RefreshPortItems() {
    QComboBox* list = ui->ComboComPort;
    m_ListedPorts = m_Services.serial.DescribePorts(list->count());
    for (int index = 0; index < list->count(); ++index) {
        list->setItemText(index, platform::ToQString(mduDisplayText::PortItemText(
                                     index + 1, m_ListedPorts[static_cast<std::size_t>(index)])));
    }
}

// --- Window operations ---------------------------------------------------------

void frmMain::StartAutoRunning() {
    if (m_Released) {
        return;  // an unloaded window runs no further state
    }
    // Off, on and the interval written again: the 20 ms count starts afresh.
    m_timAutoRunning->SetEnabled(false);
    m_timAutoRunning->SetEnabled(true);
    m_timAutoRunning->SetInterval(m_timAutoRunning->Interval());
    m_AutoRunning = true;
}

void frmMain::ChangeWorkState(std::int32_t newState) {
    const std::int32_t previous = m_WorkState;
    m_WorkState = newState;
    if (m_Observer != nullptr && previous != newState) {
        m_Observer->OnStateChange(previous, newState);
    }
    StartAutoRunning();
}

void frmMain::SetFileNameText(const std::string& text) {
    ui->txtFileName->setText(platform::ToQString(text));
}

void frmMain::ChooseDataFile(const std::string& path) {
    SetFileNameText(path);
    CheckChosenDataFile();
}

void frmMain::CheckChosenDataFile() {
    ui->txtFileName->setModified(false);
    const mduDataFileCheck::Result checked =
        mduDataFileCheck::Check(FileNameText(), clsUpdateSequence::kToolVersion);
    SetInfoLine(mduCommonMessage::InfoLineDataFileVersion, checked.version);
    if (checked.loaded) {
        ShowInfoMessage(checked.message);
    } else {
        ShowErrorMessage(checked.message);
    }
}

void frmMain::SelectCommPort(std::uint8_t index) {
    // Selecting raises the list's click, which hands the number to the
    // driver; selecting the item already selected does the same.
    if (ui->ComboComPort->currentIndex() == index) {
        OnComboComPortClick(index);
    } else {
        ui->ComboComPort->setCurrentIndex(index);
    }
}

int frmMain::SelectedPort() const {
    return ui->ComboComPort->currentIndex() + 1;
}

std::vector<std::pair<std::string, std::string>> frmMain::SettingFacts() const {
    return {{"device_description", m_Services.serial.DescribePort(SelectedPort()).description}};
}

void frmMain::SetOneSecTimerEnabled(bool enabled) {
    if (enabled && m_Released) {
        return;
    }
    m_tmrOneSecTimer->SetEnabled(enabled);
}

std::int64_t frmMain::NowSeconds() const {
    return m_Services.clock.NowSeconds();
}

void frmMain::SetObserver(IRunObserver* observer) {
    m_Observer = observer;
    m_Boxes.SetObserver(observer);
    m_Sequence.SetObserver(observer);
}

void frmMain::SetWorkingBusy(bool busy) {
    m_WorkingBusy = busy;
    for (QWidget* control :
         {static_cast<QWidget*>(ui->ComboComPort), static_cast<QWidget*>(ui->cmdAutoCommPortScan),
          static_cast<QWidget*>(ui->cmdHelloDevice), static_cast<QWidget*>(ui->cmdBrowser),
          static_cast<QWidget*>(ui->cmdDownLoadStart)}) {
        control->setEnabled(!busy);
    }
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void frmMain::SaveSetupOptions() {
    using namespace mduSetupOptions;
    platform::ISettingsStore& store = m_Services.settings;
    store.SaveSetting(AppName, Section, KeyFileName,
                      platform::ToStdString(ui->txtFileName->text()));
    store.SaveSetting(AppName, Section, KeyCommPort,
                      std::to_string(ui->ComboComPort->currentIndex() + 1));
    store.SaveSetting(AppName, Section, KeyAutoSave, "1");
}

void frmMain::StopWindowTimers() {
    for (platform::IWindowTimer* timer : {m_timAutoRunning.get(), m_tmrOneSecTimer.get(),
                                          m_tmrWaitTimeOut.get(), m_tmeFrameSpace.get()}) {
        timer->SetEnabled(false);
    }
}

void frmMain::ReleaseWorkObjects() {
    if (m_Released) {
        return;
    }
    m_Released = true;
    // An unloaded window's timers no longer tick into the sequence.
    StopWindowTimers();
    try {
        if (m_Services.serial.PortOpen()) {
            m_Services.serial.SetPortOpen(false);
        }
    } catch (const std::exception&) {
        // A port that cannot be closed is left to the host; the program ends anyway.
    }
    m_Commands.reset();
    m_UnitConfig2.reset();
    m_ClsComm.reset();
    m_Random.reset();
    // The lent timers and control must not call into the released driver.
    m_tmeFrameSpace->SetOnTimer(nullptr);
    m_tmrWaitTimeOut->SetOnTimer(nullptr);
    m_Services.serial.SetOnComm(nullptr);
    mduGlobalModule::EraseGlobalTables();
}

void frmMain::ExitProgram() {
    if (m_Exited) {
        return;
    }
    m_Exited = true;
    SaveSetupOptions();
    ReleaseWorkObjects();
    // A run still under way ends here, so its trace has its end.
    m_Sequence.AbandonRun(RunOutcome::Interrupted);
    ReleaseProgramObjects();
    emit programEnded();
}

bool frmMain::BrowseDataFile(bool openMode) {
    const std::string remembered = platform::ToStdString(ui->txtFileName->text());

    platform::FileDialogRequest request;
    // The dialog opens where the current file is, with that file selected.
    const QFileInfo current(ui->txtFileName->text().trimmed());
    if (current.isAbsolute() && current.isDir()) {
        request.folder = platform::ToStdString(QDir(current.absoluteFilePath()).absolutePath());
    } else if (current.isAbsolute() && current.dir().exists()) {
        request.folder = platform::ToStdString(current.absolutePath());
        if (current.isFile()) {
            request.fileName = platform::ToStdString(current.fileName());
        }
    }
    // A previous interchange file is offered again as the pre-set name.
    const std::string::size_type slash = remembered.rfind('\\');
    const std::string name = slash == std::string::npos ? remembered : remembered.substr(slash + 1);
    const std::string::size_type dot = name.rfind('.');
    if (dot != std::string::npos) {
        const QString extension = platform::ToQString(name.substr(dot + 1));
        if (extension.compare(QLatin1String("IDF"), Qt::CaseInsensitive) == 0) {
            request.fileName = remembered;
        }
    }
    request.flags = openMode ? 4 : 6;
    request.filter = mduCommonMessage::DataFileFilter;
    request.filterIndex = mduCommonMessage::DataFileFilterIndex;

    const std::optional<std::string> chosen = openMode ? m_Services.fileDialog.ShowOpen(request)
                                                       : m_Services.fileDialog.ShowSave(request);
    if (!chosen) {
        return false;  // cancelled: the text stays
    }
    ui->txtFileName->setText(platform::ToQString(*chosen));
    if (!openMode) {
        return true;
    }
    CheckChosenDataFile();
    return platform::ToStdString(ui->txtFileName->text()) != remembered;
}

// --- Display operations ------------------------------------------------------------

void frmMain::PutMessageText(const std::string& text, bool keepFirstPart,
                             const std::string& separator) {
    m_MessageText =
        mduDisplayText::ComposeMessageText(m_MessageText, text, keepFirstPart, separator);
    if (m_Unseen && !isVisible()) {
        m_MessageStale = true;
    } else {
        ui->txtMessage->setPlainText(platform::ToDisplayLines(m_MessageText));
        m_MessageStale = false;
    }
    if (m_Observer != nullptr) {
        m_Observer->OnMessage(m_MessageText, m_MessageKind);
    }
}

void frmMain::SetMessageColour(const QColor& colour, IRunObserver::MessageKind kind) {
    m_MessageKind = kind;
    QPalette palette = ui->txtMessage->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Text, colour);
    }
    ui->txtMessage->setPalette(palette);
}

QColor frmMain::MessageColour() const {
    return ui->txtMessage->palette().color(QPalette::Text);
}

void frmMain::ShowInfoMessage(const std::string& text) {
    SetMessageColour(m_WindowTextColour, IRunObserver::MessageKind::Information);
    PutMessageText(text, false, "\r\n");
}

void frmMain::ShowSuccessMessage(const std::string& text) {
    SetMessageColour(ToQColor(mduDisplayText::SuccessColour), IRunObserver::MessageKind::Success);
    PutMessageText(text, false, "\r\n");
}

void frmMain::ShowErrorMessage(const std::string& text) {
    SetMessageColour(ToQColor(mduDisplayText::ErrorColour), IRunObserver::MessageKind::Error);
    PutMessageText(text, false, "\r\n");
}

void frmMain::SetInfoLine(std::int16_t index, const std::string& value) {
    QListWidgetItem* line = ui->lsbxDownloadInformation->item(index);
    if (line == nullptr) {
        return;
    }
    const std::string text =
        mduDisplayText::ComposeInfoLine(platform::ToStdString(line->text()), value);
    line->setText(platform::ToQString(text));
    if (m_Observer != nullptr) {
        m_Observer->OnInfoLine(index, text, value);
    }
}

void frmMain::ClearUnitLines() {
    using namespace mduCommonMessage;
    for (int line : {InfoLineSerialNumber, InfoLineProgramVersion, InfoLineUnitDataVersion,
                     InfoLineRecordReport}) {
        SetInfoLine(static_cast<std::int16_t>(line), "");
    }
}

std::string frmMain::InfoLine(int index) const {
    const QListWidgetItem* line = ui->lsbxDownloadInformation->item(index);
    return line == nullptr ? std::string() : platform::ToStdString(line->text());
}

QFrame* frmMain::Lamp(int index) const {
    if (index < 0 || index >= mduDisplayText::LampCount) {
        return nullptr;
    }
    return ui->frmDebugArea->findChild<QFrame*>(QStringLiteral("shpDnLdSetSts_%1").arg(index));
}

void frmMain::SetStatusLamp(std::int32_t index, std::int32_t colourCode) {
    if (index < 0 || index >= mduDisplayText::LampCount) {
        return;
    }
    // A block stage sets its lamp once per block: only a change is looked
    // up and drawn.
    int& shown = m_LampCodes[static_cast<std::size_t>(index)];
    if (shown == colourCode) {
        return;
    }
    QFrame* lamp = Lamp(index);
    const std::optional<mduDisplayText::Rgb> colour = mduDisplayText::LampColour(colourCode);
    if (lamp == nullptr || !colour) {
        return;
    }
    shown = colourCode;
    const QColor fill = ToQColor(*colour);
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, fill);
    lamp->setPalette(palette);
    if (m_Observer != nullptr) {
        m_Observer->OnLamp(index, colourCode);
    }
}

void frmMain::SetStatusLamps(std::int32_t index, std::int32_t colourCode) {
    if (index != -1) {
        SetStatusLamp(index, colourCode);
        return;
    }
    for (int lamp = 0; lamp < mduDisplayText::LampCount; ++lamp) {
        SetStatusLamp(lamp, colourCode);
    }
}

QColor frmMain::LampColour(int index) const {
    const QFrame* lamp = Lamp(index);
    return lamp == nullptr ? QColor() : lamp->palette().color(QPalette::Window);
}

std::string frmMain::FileNameText() const {
    return platform::ToStdString(ui->txtFileName->text());
}

void frmMain::SetProgressMax(std::int32_t max) {
    if (ui->progbDownloadProgress->maximum() == max) {
        return;
    }
    ui->progbDownloadProgress->setRange(0, max < 0 ? 0 : max);
    if (m_Observer != nullptr) {
        m_Observer->OnProgress(ProgressValue(), ProgressMax());
    }
}

std::int32_t frmMain::ProgressMax() const {
    return ui->progbDownloadProgress->maximum();
}

void frmMain::SetProgressValue(std::int32_t value) {
    if (ui->progbDownloadProgress->value() == value) {
        return;
    }
    ui->progbDownloadProgress->setValue(value);
    if (m_Observer != nullptr) {
        m_Observer->OnProgress(ProgressValue(), ProgressMax());
    }
}

std::int32_t frmMain::ProgressValue() const {
    return ui->progbDownloadProgress->value();
}

void frmMain::SetPercentText(const std::string& text) {
    const QString shown = platform::ToQString(text);
    if (ui->lblDownLoadPercent->text() == shown) {
        return;
    }
    ui->lblDownLoadPercent->setText(shown);
    if (m_Observer != nullptr) {
        m_Observer->OnPercent(text);
    }
}

std::string frmMain::PercentText() const {
    return platform::ToStdString(ui->lblDownLoadPercent->text());
}

void frmMain::SetClockText(const std::string& text) {
    const QString shown = platform::ToQString(text);
    if (ui->lblDownLoadClock->text() == shown) {
        return;
    }
    ui->lblDownLoadClock->setText(shown);
    if (m_Observer != nullptr) {
        m_Observer->OnClock(text);
    }
}

std::string frmMain::ClockText() const {
    return platform::ToStdString(ui->lblDownLoadClock->text());
}

platform::MsgResult frmMain::ShowMessageBox(const std::string& text, platform::MsgButtons buttons,
                                            platform::MsgIcon icon) {
    return m_Boxes.Show(text, buttons, icon);
}

std::string frmMain::HostImageText() const {
    return m_HostImage;
}

void frmMain::SetHostImageText(const std::string& text) {
    m_HostImage = text;
    // The diagnostic frame is hidden in normal use: laying out a new text per
    // block there would cost the transfer time for nothing. It is brought up
    // to date when the frame is shown.
    if (ui->frmDebugArea->isHidden()) {
        m_HostImageStale = true;
        return;
    }
    ui->txtHostImage->setText(platform::ToQString(text));
    m_HostImageStale = false;
}

// --- Size ----------------------------------------------------------------------

void frmMain::FitDisplays() {
    // The labels of the information list line up in a font whose CJK
    // characters are two columns wide.
    const QString mono = QStringLiteral("Noto Sans Mono CJK TC");
    if (QFontDatabase::families().contains(mono)) {
        QFont font(mono);
        font.setPointSizeF(ui->lsbxDownloadInformation->font().pointSizeF());
        ui->lsbxDownloadInformation->setFont(font);
    }
    QListWidget* list = ui->lsbxDownloadInformation;
    const int frame = 2 * list->frameWidth();
    list->setFixedHeight(mduCommonMessage::InfoLineCount * list->sizeHintForRow(0) + frame + 4);
    // Room for the longest failure text (eight lines) without scrolling.
    QPlainTextEdit* message = ui->txtMessage;
    const int lines = 8;
    message->setFixedHeight(lines * message->fontMetrics().lineSpacing() +
                            2 * message->frameWidth() +
                            2 * static_cast<int>(message->document()->documentMargin()) + 4);
}

int frmMain::RuleHeight() const {
    const int extra = (kWindowExtraTwips * logicalDpiY() + 720) / 1440;
    int frames = ui->frmWorkingArea->sizeHint().height() + ui->frmFileArea->sizeHint().height() +
                 ui->frmCommArea->sizeHint().height();
    if (!ui->frmDebugArea->isHidden()) {
        // Shown for diagnosis, the debug frame and its gap are added on top.
        frames += ui->frmDebugArea->sizeHint().height() + layout()->spacing();
    }
    return frames + extra;
}

void frmMain::ApplyWindowHeight() {
    // The window keeps the size it is designed for: its displays are laid
    // out for that size, and the height rule alone changes it.
    setFixedSize(std::max(width(), minimumSizeHint().width()), RuleHeight());
}

void frmMain::SetDebugAreaVisible(bool visible) {
    ui->frmDebugArea->setVisible(visible);
    if (visible && m_HostImageStale) {
        SetHostImageText(m_HostImage);
    }
    ApplyWindowHeight();
}

// --- Closing --------------------------------------------------------------------

void frmMain::CloseForSessionEnd() {
    CloseForced(CloseReason::SessionEnd);
}

void frmMain::CloseForTermination() {
    CloseForced(CloseReason::Termination);
}

void frmMain::CloseForced(CloseReason reason) {
    if (m_Exited) {
        return;
    }
    if (m_QueryingClose) {
        // The operator's closing question is open: a close cannot start
        // inside the one under way, so that one is told to go ahead.
        m_ForcedClosePending = true;
        m_Boxes.DismissOpen();
        return;
    }
    // Boxes of the sequence still open are closed, so the program can end.
    m_Boxes.DismissOpen();
    m_CloseReason = reason;
    close();
}

bool frmMain::QueryClose(CloseReason reason) {
    if (reason != CloseReason::Operator || !m_WorkingBusy) {
        return true;
    }
    m_QueryingClose = true;
    m_ForcedClosePending = false;
    const bool leave = m_Boxes.Show(mduCommonMessage::ExitQuestionText, platform::MsgButtons::YesNo,
                                    platform::MsgIcon::Exclamation) == platform::MsgResult::Yes;
    m_QueryingClose = false;
    if (m_ForcedClosePending) {
        return true;
    }
    if (!leave) {
        return false;
    }
    // The run may have ended while the operator was being asked: then
    // nothing was cancelled and there is nothing to say.
    if (m_WorkingBusy || m_Sequence.CurrentRun() != RunKind::None) {
        // Abandoned where it stands: no timer or reply reaches the sequence
        // again, so nothing more is sent to the unit while the operator reads
        // the box.
        ReleaseWorkObjects();
        m_Sequence.AbandonRun();
        m_Boxes.Show(mduCommonMessage::ExitCancelledText(), platform::MsgButtons::Ok,
                     platform::MsgIcon::Exclamation);
    }
    return true;
}

void frmMain::SetUnseen(bool unseen) {
    m_Unseen = unseen;
}

void frmMain::showEvent(QShowEvent* event) {
    if (m_MessageStale) {
        ui->txtMessage->setPlainText(platform::ToDisplayLines(m_MessageText));
        m_MessageStale = false;
    }
    QWidget::showEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    const CloseReason reason = m_CloseReason;
    m_CloseReason = CloseReason::Operator;
    if (m_Exited) {
        event->accept();
        return;
    }
    if (!QueryClose(reason)) {
        event->ignore();
        return;
    }
    event->accept();
    ExitProgram();
}
