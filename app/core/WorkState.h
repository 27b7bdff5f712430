#pragma once

#include <cstdint>

// The states of the update sequence, by the numbers stored in WorkState.
enum class WorkState : std::int32_t {
    Idle = 0,
    PortScan = 1,
    Connect = 2,
    DataPreparation = 3,
    LinkModeSwitch = 4,
    Stage01Attach = 5,
    TransferSetUp = 6,
    Stage03Identity = 7,
    Stage04RecordReport = 8,
    Stage05ProgramVersion = 9,
    Stage06Security = 10,
    Stage07DataVersion = 11,
    Erase = 12,
    FlashPreparation = 13,
    FlashTransfer = 14,
    ParameterPreparation = 15,
    ParameterTransfer = 16,
    TransferWrapUp = 17,
    ClosingCommand = 20,
    FinalCheck = 21,
};

constexpr std::int32_t ToInt(WorkState state) {
    return static_cast<std::int32_t>(state);
}
