#pragma once

// The station's operator texts (the window's language), in one place.
namespace StationTexts {

inline constexpr char Idle[] = "待命";
inline constexpr char Starting[] = "啟動中";
inline constexpr char Success[] = "更新成功";
inline constexpr char Failure[] = "更新失敗";
inline constexpr char Skipped[] = "已是最新資料，略過";
inline constexpr char TimedOut[] = "逾時";
inline constexpr char Cancelled[] = "已取消";
inline constexpr char Waiting[] = "等待中";
inline constexpr char StoppedByOperator[] = "已由操作員停止：裝置在再次更新前沒有資料";
inline constexpr char NoEndLine[] = "程式結束時沒有結果";
inline constexpr char CannotStart[] = "無法啟動更新程式";
inline constexpr char FileNotUsable[] = "資料檔無法使用，沒有開始任何更新：";
inline constexpr char PortInUse[] = "此傳輸埠已有更新進行中";
inline constexpr char WaitForUnit[] = "等待裝置連接";
inline constexpr char NoDevice[] = "沒有此編號的序列埠";
inline constexpr char WaitForRemoval[] = "請移除裝置";
inline constexpr char SameUnitAgain[] = "同一裝置剛更新成功，不再更新";
// The last step of a failure text: the window's "press 開始傳送 again"
// becomes what does it at a station (a tile's start button, the command run
// again, or, hands-free, the port itself once the unit is plugged in again).
inline constexpr char WindowRetryStep[] = "使用<開始傳送>按鍵重新執行資料更新";
inline constexpr char RetryStep[] =
    "使用此埠的<開始>按鍵 (無視窗時: 再次執行 gpsupdate-station) 重新執行資料更新";
inline constexpr char HandsFreeRetryStep[] = "重新插上裝置後, 此埠會自動重新執行資料更新";
// The window's switch for the result sounds, and what it says when the
// station has no sound output.
inline constexpr char SoundSwitch[] = "提示音";
inline constexpr char NoSoundOutput[] = "沒有音效裝置：不會播放提示音";
// What an interrupted update means for the unit (the stop question).
inline constexpr char StopQuestion[] =
    "停止進行中的更新？\n中斷的更新會讓裝置沒有資料，直到再次更新為止。";

}  // namespace StationTexts
