#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>

// A file in a fresh temporary folder, removed with the object. The name (UTF-8)
// may hold folders of its own.
class TempDataFile {
  public:
    explicit TempDataFile(std::span<const std::uint8_t> bytes,
                          const std::string& name = "data.apd") {
        std::random_device entropy;
        std::mt19937_64 random((static_cast<std::uint64_t>(entropy()) << 32) ^ entropy());
        dir_ =
            std::filesystem::temp_directory_path() / ("gpsupdate-test-" + std::to_string(random()));
        path_ = dir_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
        std::filesystem::create_directories(path_.parent_path());
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~TempDataFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TempDataFile(const TempDataFile&) = delete;
    TempDataFile& operator=(const TempDataFile&) = delete;

    // UTF-8.
    std::string Path() const {
        const std::u8string text = path_.u8string();
        return std::string(text.begin(), text.end());
    }
    const std::filesystem::path& Folder() const { return dir_; }
    std::string Dir() const { return dir_.string(); }

  private:
    std::filesystem::path dir_;
    std::filesystem::path path_;
};

// Every byte of a file (none when it cannot be read).
inline std::string FileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
