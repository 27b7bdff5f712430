#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// A file in a fresh temporary folder, removed with the object. The name (UTF-8)
// may hold folders of its own.
class TempDataFile {
  public:
    explicit TempDataFile(std::span<const std::uint8_t> bytes,
                          const std::string& name = "data.apd");
    ~TempDataFile();
    TempDataFile(const TempDataFile&) = delete;
    TempDataFile& operator=(const TempDataFile&) = delete;

    // UTF-8.
    std::string Path() const;
    const std::filesystem::path& Folder() const { return dir_; }

  private:
    std::filesystem::path dir_;
    std::filesystem::path path_;
};
