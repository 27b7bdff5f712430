#pragma once

#include <cstdint>
#include <string>

// What the update sequence asks of the main window: the window operations
// (state changes, busy switch, file selection) and the display operations
// (message area, information list, status lamps). The window implements it;
// sequence tests may use a recording fake.
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
};
