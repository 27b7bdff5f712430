#include "WorkObjects.h"

#include <exception>
#include <span>

#include "IRunObserver.h"
#include "IWorkPageWindow.h"
#include "WorkPageEvent.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsRandom.h"
#include "clsUnitConfig1.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfig3.h"
#include "clsUnitConfigBase.h"

WorkObjects::WorkObjects(IWorkPageWindow& window, platform::ITimerFactory& timers,
                         platform::ISerialControl& serial)
    : serial_(serial),
      autoRunningTimer_(timers.CreateTimer()),
      oneSecTimer_(timers.CreateTimer()),
      waitTimeOutTimer_(timers.CreateTimer()),
      frameSpaceTimer_(timers.CreateTimer()),
      sequence_(window) {
    autoRunningTimer_->SetInterval(kAutoRunningMs);
    oneSecTimer_->SetInterval(kOneSecondMs);
    waitTimeOutTimer_->SetInterval(kWaitTimeOutMs);
    frameSpaceTimer_->SetInterval(kFrameSpaceMs);
    autoRunningTimer_->SetOnTimer([this] { OnAutoRunningTick(); });
    oneSecTimer_->SetOnTimer([this] { sequence_.WorkPageStateMachine(kEventOneSecond); });
}

WorkObjects::~WorkObjects() {
    Release();
    StopTimers();
}

void WorkObjects::Initialise() {
    unitConfigBase_ = std::make_unique<clsUnitConfigBase>();
}

void WorkObjects::Load(IHostImageDisplay& hostImage, std::optional<std::uint64_t> seed) {
    unitConfig1_ = std::make_unique<clsUnitConfig1>(*unitConfigBase_);
    unitConfig2_ = std::make_unique<clsUnitConfig2>();
    unitConfig3_ = std::make_unique<clsUnitConfig3>();
    m_ClsComm = std::make_unique<clsComm>();
    random_ = seed ? std::make_unique<clsRandom>(*seed) : std::make_unique<clsRandom>();
    commands_ = std::make_unique<clsCommandLayer>(*m_ClsComm, *random_, *unitConfig2_,
                                                  *unitConfigBase_, &hostImage);
    commands_->SetFrameObserver([this](std::span<const std::uint8_t> frame, std::int32_t code) {
        if (observer_ != nullptr) {
            observer_->OnFrameOut(frame, code);
        }
    });
}

void WorkObjects::ConnectDriver() {
    m_ClsComm->SetmFrameSpaceTimer(frameSpaceTimer_.get());
    m_ClsComm->SetmFrameTimeOutTimer(waitTimeOutTimer_.get());
    m_ClsComm->SetmMsComm(&serial_);
    m_ClsComm->SetCommResponseMessage(
        [this](std::int32_t vCommEvent, const std::vector<std::uint8_t>& vMessage) {
            OnCommResponseMessage(vCommEvent, vMessage);
        });
}

void WorkObjects::OnCommResponseMessage(std::int32_t vCommEvent,
                                        const std::vector<std::uint8_t>& vMessage) {
    if (observer_ != nullptr) {
        observer_->OnFrameIn(vCommEvent, vMessage);
    }
    switch (vCommEvent) {
        case 1:
            sequence_.WorkPageStateMachine(kEventReplyReceived, vMessage);
            break;
        case 0:
            sequence_.WorkPageStateMachine(kEventSentNoReply, vMessage);
            break;
        case 2:
            sequence_.WorkPageStateMachine(kEventReplyTimeOut, vMessage);
            break;
        default:
            break;
    }
}

void WorkObjects::OnAutoRunningTick() {
    if (!autoRunning_) {
        return;
    }
    autoRunningTimer_->SetEnabled(false);
    sequence_.WorkPageStateMachine(kEventAutoRunning);
}

void WorkObjects::ArmAutoRunning() {
    if (released_) {
        return;  // an unloaded window runs no further state
    }
    // Off, on and the interval written again: the 20 ms count starts afresh.
    autoRunningTimer_->SetEnabled(false);
    autoRunningTimer_->SetEnabled(true);
    autoRunningTimer_->SetInterval(autoRunningTimer_->Interval());
    autoRunning_ = true;
}

void WorkObjects::EnableOneSecTimer(bool enabled) {
    if (enabled && released_) {
        return;
    }
    oneSecTimer_->SetEnabled(enabled);
}

void WorkObjects::StopTimers() {
    for (platform::IWindowTimer* timer : {autoRunningTimer_.get(), oneSecTimer_.get(),
                                          waitTimeOutTimer_.get(), frameSpaceTimer_.get()}) {
        timer->SetEnabled(false);
    }
}

bool WorkObjects::Release() {
    if (released_) {
        return false;
    }
    released_ = true;
    StopTimers();
    try {
        if (serial_.PortOpen()) {
            serial_.SetPortOpen(false);
        }
    } catch (const std::exception&) {
        // A port that cannot be closed is left to the host; the program ends anyway.
    }
    commands_.reset();
    unitConfig2_.reset();
    // The driver takes its handlers off the lent timers and control as it goes.
    m_ClsComm.reset();
    random_.reset();
    return true;
}

void WorkObjects::ReleaseBaseTable() {
    if (unitConfig1_) {
        unitConfig1_->SetUnitConfigBase(nullptr);
    }
    unitConfigBase_.reset();
}
