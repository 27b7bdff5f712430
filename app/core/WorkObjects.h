#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ISerialControl.h"
#include "ITimerFactory.h"
#include "IWindowTimer.h"
#include "clsUpdateSequence.h"

class IHostImageDisplay;
class IRunObserver;
class IWorkPageWindow;
class clsComm;
class clsCommandLayer;
class clsRandom;
class clsUnitConfig1;
class clsUnitConfig2;
class clsUnitConfig3;
class clsUnitConfigBase;

// The window's long-lived objects and the update sequence that runs on them,
// made in the order the window's start-up needs and released in order: the
// four window timers and the sequence at once, the shared base table when the
// window initialises, the configuration tables 1 to 3, the serial driver
// m_ClsComm, the random source and the command layer when it loads. The
// timers' ticks and the driver's CommResponseMessage become sequence events
// here. The main window and the headless test window both build theirs here.
//
// Everything runs on the window's thread; the timer factory, the serial
// control and the window must outlive the object.
class WorkObjects {
  public:
    static constexpr int kAutoRunningMs = 20;
    static constexpr int kOneSecondMs = 1000;
    static constexpr int kWaitTimeOutMs = 1000;
    static constexpr int kFrameSpaceMs = 30;

    // The four timers with their intervals, all stopped; the sequence on
    // `window`.
    WorkObjects(IWorkPageWindow& window, platform::ITimerFactory& timers,
                platform::ISerialControl& serial);
    ~WorkObjects();
    WorkObjects(const WorkObjects&) = delete;
    WorkObjects& operator=(const WorkObjects&) = delete;

    // Window initialise: the shared base table.
    void Initialise();
    // Window load: tables 1 to 3, the driver, the random source (seeded: the
    // same link tables and head codes every time) and the command layer,
    // which echoes each frame it sends to `hostImage`.
    void Load(IHostImageDisplay& hostImage, std::optional<std::uint64_t> seed = std::nullopt);
    // The driver gets its two timers and the serial control; its cycle
    // endings go to the sequence.
    void ConnectDriver();
    // Frames sent and cycle endings also go to this observer (nullptr: none).
    void SetObserver(IRunObserver* observer) { observer_ = observer; }

    // Re-arms the 20 ms timer (counting from zero); the sequence runs its
    // current state when it ticks. Nothing once released.
    void ArmAutoRunning();
    bool AutoRunning() const { return autoRunning_; }
    // Starts (counting from zero) or stops the one-second timer; it does not
    // start once released.
    void EnableOneSecTimer(bool enabled);

    // Stops the timers, closes the port, releases the command layer, table 2,
    // the driver and the random source: no timer or reply reaches the
    // sequence again. False when it had already been done.
    bool Release();
    bool Released() const { return released_; }
    // The shared base table (table 1 no longer refers to it).
    void ReleaseBaseTable();

    clsUpdateSequence& Sequence() { return sequence_; }
    // Empty before load and once released (tables 1 and 3 are kept, the base
    // table until ReleaseBaseTable).
    clsComm* ClsComm() { return m_ClsComm.get(); }
    clsCommandLayer* CommandLayer() { return commands_.get(); }
    clsRandom* RandomSource() { return random_.get(); }
    clsUnitConfigBase* BaseTable() { return unitConfigBase_.get(); }
    clsUnitConfig1* Table1() { return unitConfig1_.get(); }
    clsUnitConfig2* Table2() { return unitConfig2_.get(); }
    clsUnitConfig3* Table3() { return unitConfig3_.get(); }

    platform::IWindowTimer& AutoRunningTimer() const { return *autoRunningTimer_; }
    platform::IWindowTimer& OneSecTimer() const { return *oneSecTimer_; }
    platform::IWindowTimer& WaitTimeOutTimer() const { return *waitTimeOutTimer_; }
    platform::IWindowTimer& FrameSpaceTimer() const { return *frameSpaceTimer_; }

  private:
    void OnAutoRunningTick();
    void OnCommResponseMessage(std::int32_t vCommEvent, const std::vector<std::uint8_t>& vMessage);
    void StopTimers();

    platform::ISerialControl& serial_;
    std::unique_ptr<platform::IWindowTimer> autoRunningTimer_;
    std::unique_ptr<platform::IWindowTimer> oneSecTimer_;
    std::unique_ptr<platform::IWindowTimer> waitTimeOutTimer_;
    std::unique_ptr<platform::IWindowTimer> frameSpaceTimer_;

    std::unique_ptr<clsUnitConfigBase> unitConfigBase_;
    std::unique_ptr<clsUnitConfig1> unitConfig1_;
    std::unique_ptr<clsUnitConfig2> unitConfig2_;
    std::unique_ptr<clsUnitConfig3> unitConfig3_;
    std::unique_ptr<clsComm> m_ClsComm;
    std::unique_ptr<clsRandom> random_;
    std::unique_ptr<clsCommandLayer> commands_;
    // Last: it goes first, while the objects it reaches are still there.
    clsUpdateSequence sequence_;

    IRunObserver* observer_ = nullptr;
    bool autoRunning_ = false;
    bool released_ = false;
};
