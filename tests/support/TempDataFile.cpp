#include "TempDataFile.h"

#include <fstream>
#include <random>

TempDataFile::TempDataFile(std::span<const std::uint8_t> bytes, const std::string& name) {
    std::random_device entropy;
    std::mt19937_64 random((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
    dir_ = std::filesystem::temp_directory_path() / ("gpsupdate-test-" + std::to_string(random()));
    std::filesystem::create_directories(dir_);
    path_ = dir_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
    std::filesystem::create_directories(path_.parent_path());
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

TempDataFile::~TempDataFile() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string TempDataFile::Path() const {
    const std::u8string text = path_.u8string();
    return std::string(text.begin(), text.end());
}
