#include "frmMain.h"

#include <exception>

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QSessionManager>

#include "ProgramMessageBoxes.h"
#include "QtText.h"
#include "TerminationWatcher.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "mduCommonMessage.h"
#include "mduDataFileCheck.h"
#include "mduDisplayText.h"
#include "mduGlobalModule.h"
#include "mduSetupOptions.h"
#include "ui_frmMain.h"

// The window's start-up, its settings, its operations for the sequence, the
// port list and the data file box, and closing. The display operations are in
// frmMainDisplay.cpp; the long-lived objects in WorkObjects.

frmMain::frmMain(platform::PlatformServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      boxes_(services.messageBoxes),
      ui_(std::make_unique<Ui::frmMain>()),
      objects_(*this, services.timers, services.serial) {
    // Faults found by plain code from here on are shown in this window's boxes.
    previousProgramBoxes_ = &platform::ProgramMessageBoxes::Get();
    platform::ProgramMessageBoxes::Set(&boxes_);
    programBoxesInstalled_ = true;

    ui_->setupUi(this);
    windowTextColour_ = QGuiApplication::palette().color(QPalette::WindowText);
    // No item is selected until start-up selects the driver's port.
    ui_->ComboComPort->setCurrentIndex(-1);
    for (const char* label : mduCommonMessage::InfoLineLabels) {
        ui_->lsbxDownloadInformation->addItem(QString::fromUtf8(label));
    }
    FitDisplays();
    ConnectControls();

    InitialiseWindow();
    LoadWindow();
}

frmMain::~frmMain() {
    // Terminate: whatever an unload left, released now.
    ReleaseWorkObjects();
    ReleaseProgramObjects();
}

void frmMain::ConnectControls() {
    clsUpdateSequence& sequence = objects_.Sequence();
    connect(ui_->cmdAutoCommPortScan, &QPushButton::clicked, this,
            [&sequence] { sequence.WorkPageStateMachine(kEventAutoPortScan); });
    connect(ui_->cmdHelloDevice, &QPushButton::clicked, this,
            [&sequence] { sequence.WorkPageStateMachine(kEventHelloDevice); });
    connect(ui_->cmdBrowser, &QPushButton::clicked, this,
            [&sequence] { sequence.WorkPageStateMachine(kEventBrowse); });
    connect(ui_->cmdDownLoadStart, &QPushButton::clicked, this,
            [&sequence] { sequence.WorkPageStateMachine(kEventDownLoadStart); });
    connect(ui_->cmdExit, &QPushButton::clicked, this, [this] { close(); });
    connect(ui_->ComboComPort, &QComboBox::currentIndexChanged, this,
            [this](int index) { OnComboComPortClick(index); });
    // A name typed into the box is checked when the operator leaves it.
    connect(ui_->txtFileName, &QLineEdit::editingFinished, this, [this] {
        if (ui_->txtFileName->isModified() && !ui_->txtFileName->isReadOnly()) {
            CheckChosenDataFile();
        }
    });
    ui_->ComboComPort->installEventFilter(this);

    // The host ending the session, or asking the program to end.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { CloseForSessionEnd(); });
    }
    terminationWatcher_ = new TerminationWatcher(this);
    connect(terminationWatcher_, &TerminationWatcher::terminationRequested, this,
            [this] { CloseForTermination(); });
}

void frmMain::ReleaseProgramObjects() {
    objects_.ReleaseBaseTable();
    if (programBoxesInstalled_) {
        platform::ProgramMessageBoxes::Set(previousProgramBoxes_);
        programBoxesInstalled_ = false;
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
    workingBusy_ = false;
    objects_.Initialise();
}

void frmMain::LoadWindow() {
    ui_->frmDebugArea->hide();
    ApplyWindowHeight();

    objects_.Load(*this);

    ui_->txtFileName->setText(platform::ToQString(DefaultFileName()));
    try {
        services_.serial.SetInputMode(1);
    } catch (const std::exception&) {
        // The driver primes the control again when it opens the port.
    }

    RestoreSetupOptions();
    // A file kept from the last time is checked as a chosen one is; the
    // folder the box starts with names none.
    const QFileInfo kept(ui_->txtFileName->text().trimmed());
    if (!kept.filePath().isEmpty() && !kept.isDir()) {
        CheckChosenDataFile();
    }
    objects_.ConnectDriver();

    // Raises the combo's click, which hands the same number back to the driver.
    RefreshPortItems();
    ui_->ComboComPort->setCurrentIndex(objects_.ClsComm()->ComPort() - 1);

    ChangeWorkState(0);
}

void frmMain::RestoreSetupOptions() {
    using namespace mduSetupOptions;
    platform::ISettingsStore& store = services_.settings;
    const std::string restore = store.GetSetting(AppName, Section, KeyAutoSave, AutoSaveDefault);
    if (!RestoreRequested(restore)) {
        return;
    }
    ui_->txtFileName->setText(platform::ToQString(store.GetSetting(
        AppName, Section, KeyFileName, platform::ToStdString(ui_->txtFileName->text()))));
    clsComm& driver = *objects_.ClsComm();
    const std::string port =
        store.GetSetting(AppName, Section, KeyCommPort, std::to_string(driver.ComPort()));
    // A stored port that is not one of the list's ports leaves the driver's own.
    if (const std::optional<std::int16_t> number = ParsePort(port)) {
        driver.SetComPort(*number);
    }
}

void frmMain::SaveSetupOptions() {
    using namespace mduSetupOptions;
    platform::ISettingsStore& store = services_.settings;
    store.SaveSetting(AppName, Section, KeyFileName,
                      platform::ToStdString(ui_->txtFileName->text()));
    store.SaveSetting(AppName, Section, KeyCommPort,
                      std::to_string(ui_->ComboComPort->currentIndex() + 1));
    store.SaveSetting(AppName, Section, KeyAutoSave, "1");
}

void frmMain::ReleaseWorkObjects() {
    if (objects_.Release()) {
        mduGlobalModule::EraseGlobalTables();
    }
}

void frmMain::ExitProgram() {
    if (exited_) {
        return;
    }
    exited_ = true;
    // A run still under way ends here, so its trace has its end (and a scan
    // gives back the port the operator chose, which is then saved).
    objects_.Sequence().AbandonRun(RunOutcome::Interrupted);
    SaveSetupOptions();
    ReleaseWorkObjects();
    ReleaseProgramObjects();
    emit programEnded();
}

// --- The port list and the data file box ---------------------------------------

void frmMain::RefreshPortToolTip(bool askSystem) {
    const int port = SelectedPort();
    if (port < 1) {
        return;
    }
    // Asking the system walks its device tree; a number just picked from the
    // list has the facts the list was made of.
    const auto listed = static_cast<std::size_t>(port - 1);
    const platform::PortFacts facts = !askSystem && listed < listedPorts_.size()
                                          ? listedPorts_[listed]
                                          : services_.serial.DescribePort(port);
    ui_->ComboComPort->setToolTip(platform::ToQString(mduDisplayText::PortToolTip(port, facts)));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->ComboComPort) {
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
    clsComm* driver = objects_.ClsComm();
    if (driver == nullptr || index < 0) {
        return;
    }
    // Item n is COM n+1, whatever its text says of the device.
    driver->SetComPort(static_cast<std::int16_t>(index + 1));
}

void frmMain::RefreshPortItems() {
    QComboBox* list = ui_->ComboComPort;
    listedPorts_ = services_.serial.DescribePorts(list->count());
    for (int index = 0; index < list->count(); ++index) {
        list->setItemText(index, platform::ToQString(mduDisplayText::PortItemText(
                                     index + 1, listedPorts_[static_cast<std::size_t>(index)])));
    }
}

// --- Window operations ---------------------------------------------------------

void frmMain::StartAutoRunning() {
    objects_.ArmAutoRunning();
}

void frmMain::ChangeWorkState(std::int32_t newState) {
    const std::int32_t previous = workState_;
    workState_ = newState;
    // The file box is the run's file while a run is under way: what is typed
    // into it then would be saved as the file written.
    ui_->txtFileName->setReadOnly(newState != 0);
    if (observer_ != nullptr && previous != newState) {
        observer_->OnStateChange(previous, newState);
    }
    StartAutoRunning();
}

void frmMain::SetFileNameText(const std::string& text) {
    ui_->txtFileName->setText(platform::ToQString(text));
}

void frmMain::ChooseDataFile(const std::string& path) {
    SetFileNameText(path);
    CheckChosenDataFile();
}

void frmMain::CheckChosenDataFile() {
    ui_->txtFileName->setModified(false);
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
    if (ui_->ComboComPort->currentIndex() == index) {
        OnComboComPortClick(index);
    } else {
        ui_->ComboComPort->setCurrentIndex(index);
    }
}

int frmMain::SelectedPort() const {
    return ui_->ComboComPort->currentIndex() + 1;
}

std::vector<std::pair<std::string, std::string>> frmMain::SettingFacts() const {
    return {{"device_description", services_.serial.DescribePort(SelectedPort()).description}};
}

void frmMain::SetOneSecTimerEnabled(bool enabled) {
    objects_.EnableOneSecTimer(enabled);
}

std::int64_t frmMain::NowSeconds() const {
    return services_.clock.NowSeconds();
}

void frmMain::SetObserver(IRunObserver* observer) {
    observer_ = observer;
    objects_.SetObserver(observer);
    boxes_.SetObserver(observer);
    objects_.Sequence().SetObserver(observer);
}

void frmMain::SetWorkingBusy(bool busy) {
    workingBusy_ = busy;
    for (QWidget* control :
         {static_cast<QWidget*>(ui_->ComboComPort), static_cast<QWidget*>(ui_->cmdAutoCommPortScan),
          static_cast<QWidget*>(ui_->cmdHelloDevice), static_cast<QWidget*>(ui_->cmdBrowser),
          static_cast<QWidget*>(ui_->cmdDownLoadStart)}) {
        control->setEnabled(!busy);
    }
    if (busy) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

namespace {

// The data file dialog opens where the file named in the box is, with that
// file selected; a previous interchange file is offered again by name.
platform::FileDialogRequest DataFileRequest(const QString& boxText, bool openMode) {
    platform::FileDialogRequest request;
    const QFileInfo current(boxText.trimmed());
    if (current.isAbsolute() && current.isDir()) {
        request.folder = platform::ToStdString(QDir(current.absoluteFilePath()).absolutePath());
    } else if (current.isAbsolute() && current.dir().exists()) {
        request.folder = platform::ToStdString(current.absolutePath());
        if (current.isFile()) {
            request.fileName = platform::ToStdString(current.fileName());
        }
    }
    const std::string remembered = platform::ToStdString(boxText);
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
    return request;
}

}  // namespace

bool frmMain::BrowseDataFile(bool openMode) {
    const std::string remembered = platform::ToStdString(ui_->txtFileName->text());
    const platform::FileDialogRequest request = DataFileRequest(ui_->txtFileName->text(), openMode);
    const std::optional<std::string> chosen =
        openMode ? services_.fileDialog.ShowOpen(request) : services_.fileDialog.ShowSave(request);
    if (!chosen) {
        return false;  // cancelled: the text stays
    }
    ui_->txtFileName->setText(platform::ToQString(*chosen));
    if (!openMode) {
        return true;
    }
    CheckChosenDataFile();
    return platform::ToStdString(ui_->txtFileName->text()) != remembered;
}

// --- Closing --------------------------------------------------------------------

void frmMain::CloseForSessionEnd() {
    CloseForced(CloseReason::SessionEnd);
}

void frmMain::CloseForTermination() {
    CloseForced(CloseReason::Termination);
}

void frmMain::CloseForced(CloseReason reason) {
    if (exited_) {
        return;
    }
    if (queryingClose_) {
        // The operator's closing question is open: a close cannot start
        // inside the one under way, so that one is told to go ahead.
        forcedClosePending_ = true;
        boxes_.DismissOpen();
        return;
    }
    // Boxes of the sequence still open are closed, so the program can end.
    boxes_.DismissOpen();
    closeReason_ = reason;
    close();
}

bool frmMain::QueryClose(CloseReason reason) {
    if (reason != CloseReason::Operator || !workingBusy_) {
        return true;
    }
    queryingClose_ = true;
    forcedClosePending_ = false;
    const bool leave = boxes_.Show(mduCommonMessage::ExitQuestionText, platform::MsgButtons::YesNo,
                                   platform::MsgIcon::Exclamation) == platform::MsgResult::Yes;
    queryingClose_ = false;
    if (forcedClosePending_) {
        return true;
    }
    if (!leave) {
        return false;
    }
    // The run may have ended while the operator was being asked: then
    // nothing was cancelled and there is nothing to say.
    if (workingBusy_ || objects_.Sequence().CurrentRun() != RunKind::None) {
        // Abandoned where it stands: no timer or reply reaches the sequence
        // again, so nothing more is sent to the unit while the operator reads
        // the box.
        ReleaseWorkObjects();
        objects_.Sequence().AbandonRun();
        // Whether the unit still has its data depends on the erase.
        boxes_.Show(mduCommonMessage::ExitCancelledText(objects_.Sequence().Run().eraseBegun),
                    platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    }
    return true;
}

void frmMain::closeEvent(QCloseEvent* event) {
    const CloseReason reason = closeReason_;
    closeReason_ = CloseReason::Operator;
    if (exited_) {
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
