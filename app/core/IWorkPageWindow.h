#pragma once

#include <cstdint>
#include <string>

#include "IMessageBoxes.h"

class clsCommandLayer;

// What the update sequence asks of the main window: the window operations
// (state changes, busy switch, file selection, port list, timers), the
// display operations (message area, information list, status lamps,
// progress bar and its labels, message boxes) and the window's long-lived
// objects. The window implements it; tests use a headless window.
class IWorkPageWindow {
  public:
    virtual ~IWorkPageWindow() = default;

    // --- Window operations ---
    virtual std::int32_t WorkState() const = 0;
    // WorkState = the new state, then StartAutoRunning: the new state gets
    // event 1 about 20 ms later.
    virtual void ChangeWorkState(std::int32_t newState) = 0;
    // Re-arms the sequence timer (count from zero) and sets AutoRunning.
    virtual void StartAutoRunning() = 0;
    // Busy: the five operating controls disabled, hourglass pointer.
    virtual void SetWorkingBusy(bool busy) = 0;
    // The file dialog for the data file; true when the open dialog chose a
    // different file (the save dialog: always true unless cancelled).
    virtual bool BrowseDataFile(bool openMode) = 0;
    // The data file box's text (UTF-8).
    virtual std::string FileNameText() const = 0;
    // Selects list index i (COM i+1) of the port list, which hands the
    // number to the serial driver.
    virtual void SelectCommPort(std::uint8_t index) = 0;
    // Starts (counting from zero) or stops the one-second timer.
    virtual void SetOneSecTimerEnabled(bool enabled) = 0;
    // The current date and time in whole seconds.
    virtual std::int64_t NowSeconds() const = 0;
    // The command layer, or nullptr once the window has released its
    // objects (a run then goes no further).
    virtual clsCommandLayer* Commands() = 0;

    // --- Display operations ---
    virtual void PutMessageText(const std::string& text, bool keepFirstPart,
                                const std::string& separator) = 0;
    virtual void ShowInfoMessage(const std::string& text) = 0;
    virtual void ShowSuccessMessage(const std::string& text) = 0;
    virtual void ShowErrorMessage(const std::string& text) = 0;
    virtual void SetInfoLine(std::int16_t index, const std::string& value) = 0;
    virtual void ClearUnitLines() = 0;
    // Index -1: every lamp; colour codes 0 idle, 1 busy, 2 done, 3 failed.
    virtual void SetStatusLamps(std::int32_t index, std::int32_t colourCode) = 0;
    virtual void SetProgressMax(std::int32_t max) = 0;
    virtual std::int32_t ProgressMax() const = 0;
    virtual void SetProgressValue(std::int32_t value) = 0;
    virtual void SetPercentText(const std::string& text) = 0;
    virtual std::string PercentText() const = 0;
    virtual void SetClockText(const std::string& text) = 0;
    // A modal message box with the application title; timers and the serial
    // driver keep calling in while it is open.
    virtual platform::MsgResult ShowMessageBox(const std::string& text,
                                               platform::MsgButtons buttons,
                                               platform::MsgIcon icon) = 0;
};
