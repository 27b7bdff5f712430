#include "mduDataFileCheck.h"

#include "clsPNV480DnLdData.h"
#include "mduDeviceChecks.h"

namespace mduDataFileCheck {

Result Check(const std::string& fileName, const std::string& toolVersion) {
    const auto first = fileName.find_first_not_of(' ');
    const auto last = fileName.find_last_not_of(' ');
    clsPNV480DnLdData data;
    data.SetFileName(first == std::string::npos ? std::string()
                                                : fileName.substr(first, last - first + 1));
    data.SetToolVersion(toolVersion);
    Result result;
    result.loaded = data.LoadData();
    if (!result.loaded) {
        result.message = data.ErrorMessage();
        return result;
    }
    result.version = mduDeviceChecks::UnitTextForDisplay(data.DataFileVersion());
    result.message = FileReadyText + result.version;
    return result;
}

}  // namespace mduDataFileCheck
