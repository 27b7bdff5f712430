#pragma once

// The operator texts of the tool, in one place, so that the update sequence,
// the command layer and the tests use them by name. Every text is shown
// exactly as written here, spaces included; multi-line texts are their lines
// joined by "\r\n" (no line break after the last line).
//
// The data file loader keeps its own error texts; the record-report texts
// belong to the device information checks.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mduDeviceChecks.h"

namespace mduCommonMessage {

// --- Status lines (information colour) ---------------------------------------

inline constexpr char AutoScanText[] = "自動掃描中請稍候 !!";
inline constexpr char ConnectingText[] = "GPS連線中.";
inline constexpr char DataPreparingText[] = "資料準備中,大約需要10秒, 請稍候.";
inline constexpr char DataReadyText[] = "資料準備完成.";
inline constexpr char LinkModeDoneText[] = "切換GPS連結模式完成.";
// "GPS連結設定(NN)." and "GPS連結設定(NN)完成.", NN two digits: the command
// stages 01 and 03 to 07, the flash and parameter preparation 09 and 11, the
// parameter transfer 12 and the closing command 16.
std::string LinkSetupText(int stage);
std::string LinkSetupDoneText(int stage);
inline constexpr char EraseText[] = "GPS資料清除中,約需8 ~ 40秒左右, 請稍候.";
inline constexpr char EraseDoneText[] = "GPS資料清除完成.";
inline constexpr char FlashTransferText[] = "資料傳送中, 大約需要 6 - 8 分鐘, 請稍待.";
inline constexpr char FlashTransferDoneText[] = "資料傳送完成.";
// The final memory check appends FinalCheckSeparator and the elapsed seconds.
inline constexpr char FinalCheckText[] = "GPS資料檢查中, 大約需要 10 - 15 秒, 請稍待.";
inline constexpr char FinalCheckSeparator[] = " : ";

// --- Connection results --------------------------------------------------------

inline constexpr char ScanConnectedText[] = "與GPS連線成功";  // scan found the unit
inline constexpr char ConnectedText[] = "GPS連線成功";        // connection test / update
// The record part that follows a connection result (the report texts are
// the device checks').
inline constexpr const char* RecordPartPrefix = mduDeviceChecks::RecordPartPrefix;
inline constexpr const char* RecordUnknownText = mduDeviceChecks::UnknownReportText;
// RecordPartPrefix followed by the report text.
std::string RecordPart(const std::string& reportText);
inline constexpr char UpdateSucceededText[] = "資料傳送完成, 可將GPS置於車上使用, 祝您行車平安.";

// --- Short error texts (red) ---------------------------------------------------

inline constexpr char SendFailedText[] = "異常狀況(傳送失敗)";
// A download block could not be handed to the serial driver.
inline constexpr char BlockSendFaultText[] = "程式運作異常<02>";
inline constexpr char NoResponseText[] = "異常狀況(GPS沒有回應)";

// --- Long failure texts (red) --------------------------------------------------

// The restart family: "   依下列說明處置" (or a warning) and items a to c.
std::string LinkModeFailureText();
// Command stages 01 and 03 to 07.
std::string SetupFailureText(int stage);
std::string EraseFailureText();
// The flash transfer (10) and the parameter transfer (12).
std::string DataSetupFailureText(int stage);
// The closing command (16).
std::string ClosingFailureText();
// The port failed during an update (a unit or adapter pulled out): the unit's
// data is incomplete, with the replug-and-update-again advice.
std::string LinkLostText();
// The unit did not answer the greeting but still speaks the binary link: an
// earlier update was interrupted. erased: this program began the erase in
// its last update on the port, so the unit's data is gone; otherwise it is
// not known (or it was not erased), and a replug brings back a unit whose
// data was not erased: the text says how to tell.
std::string LinkModeLeftText(bool erased);
// The unit's data version after an update: "0601 (更新前 : 0512)".
std::string UpdatedVersionText(const std::string& now, const std::string& before);
// A scan that could not open some ports for a reason of their own: the
// ports and why ("COM3 (沒有使用權限)") as the title, then what to do about
// each reason (advice: one line each, without the item letter), then the
// rescan item. With no port given: none of COM1 to COM16 has a device.
std::string UnopenedPortsText(const std::vector<std::string>& ports,
                              const std::vector<std::string>& advice);

// The rescan family: "    請依下列說明處置" and items a to e.
std::string StandardNoResponseText();   // time-out report default, end of the scan
std::string FinalNoResponseText();      // final memory check ran out
std::string CameraMemoryFailureText();  // final memory check reported abnormal memory

// The unit's program version is not in the data file's list (stage 05).
std::string ProgramVersionNotSuitedText();
// The final check heard only another unit (another serial number) report on
// its memory: the updated unit's own report never came.
std::string ForeignUnitText(const std::string& ownSerial, const std::string& otherSerial);

// The message area's first part while flash blocks are sent, once the pace
// is known: the time left, in seconds below a minute and a half, else in
// minutes.
std::string FlashTransferRemainingText(std::int64_t seconds);

// The data file is not newer than the unit's data (stage 07): the question
// (OK continues) and the text shown when the operator cancels.
std::string NotNewerQuestionText();
std::string NotNewerCancelledText();

// --- Message boxes of the sequence ---------------------------------------------

inline constexpr char ScanConnectedBoxText[] = "與GPS連線成功";           // information
inline constexpr char ConnectedBoxText[] = "GPS連線成功";                 // information
inline constexpr char NoResponseBoxText[] = "異常狀況(GPS沒有回應)";      // exclamation or critical
inline constexpr char TimeOutBoxText[] = "異常執行狀況 : GPS沒有回應!!";  // critical
inline constexpr char UpdateDoneBoxText[] = "資料更新完成";               // information
inline constexpr char CameraMemoryBoxText[] = "異常狀況(GPS照相記憶區異常)";      // exclamation
inline constexpr char LinkModeLeftBoxText[] = "異常狀況(GPS停留在資料傳輸模式)";  // exclamation
// A scan that could open none of the ports (exclamation).
inline constexpr char PortsUnopenedBoxText[] = "異常狀況(無法開啟傳輸埠)";
// The final check heard only another unit (critical).
inline constexpr char ForeignUnitBoxText[] = "異常狀況(回應的GPS不是資料更新的GPS)";
// A failure after the erase began that has no box of its own (critical).
std::string DataIncompleteBoxText();

// --- Leaving the program during an update ----------------------------------------

// Yes/No question, exclamation icon.
inline constexpr char ExitQuestionText[] = "GPS的資料更新作業中,您確定要離開本程式嗎?";
// OK box after Yes, exclamation icon: what the cancelled update left on the
// unit. eraseBegun: its data is gone, and how to update it again; otherwise
// its data is unchanged, and a replug brings it back to normal use.
std::string ExitCancelledText(bool eraseBegun);

// --- Information list -----------------------------------------------------------

inline constexpr int InfoLineCount = 5;
// Fixed labels of lines 0 to 4: data file version, unit data version, serial
// number, unit program version, record report.
inline constexpr std::array<const char*, InfoLineCount> InfoLineLabels = {
    "檔 案 資 料 版 本  :", "GPS   資 料 版 本  :", "GPS   序          號   :",
    "GPS   程 式 版 本  :", "GPS   紀 錄 報 告  :"};
inline constexpr int InfoLineDataFileVersion = 0;
inline constexpr int InfoLineUnitDataVersion = 1;
inline constexpr int InfoLineSerialNumber = 2;
inline constexpr int InfoLineProgramVersion = 3;
inline constexpr int InfoLineRecordReport = 4;
// Shown as the serial number when the unit's acknowledgement carries none.
inline constexpr char UnknownSerialText[] = "????????";

// --- Data file selection ----------------------------------------------------------

inline constexpr char DataFileFilter[] = "All Files (*.*)|*.*|GPS 資料檔 (*.apd)|*.apd";
inline constexpr int DataFileFilterIndex = 2;  // the data files

}  // namespace mduCommonMessage
