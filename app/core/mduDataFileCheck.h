#pragma once

// The data file check made as soon as the operator chooses a file: the file
// is loaded as an update would load it, so a damaged file or one made for
// another tool is reported before any unit is greeted.

#include <string>

namespace mduDataFileCheck {

// Shown in the message area when the file loads (followed by its version).
inline constexpr char FileReadyText[] = "資料檔檢查正常, 可以開始傳送. 資料檔版本 = ";

struct Result {
    bool loaded = false;
    // The version for the information list (as the update shows it), when
    // loaded; empty otherwise.
    std::string version;
    // The message area's text: the ready text with the version, or the
    // loader's own failure text with its advice.
    std::string message;
};

// Loads `fileName` (surrounding spaces ignored, as the update does) for
// `toolVersion`.
Result Check(const std::string& fileName, const std::string& toolVersion);

}  // namespace mduDataFileCheck
