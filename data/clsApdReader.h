#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>

// Reads a data file front to back, from a file opened read-only or from
// bytes already in memory. Every read either delivers all the bytes asked
// for or reports that the input ended; nothing reads past the input.
// The file is closed when the reader ends or is reopened.
class clsApdReader {
  public:
    // Opens the file for reading only. False when it cannot be opened or is
    // not a regular file (a folder, for one).
    bool OpenFile(const std::string& path);
    // Reads from the given bytes, which must outlive the reading.
    void OpenMemory(std::span<const std::uint8_t> bytes);
    void Close();
    bool IsOpen() const { return file_ != nullptr || memoryOpen_; }

    bool ReadByte(std::uint8_t& byte);
    // Fills all of `out`; false when the input ends first.
    bool Read(std::span<std::uint8_t> out);
    // Steps over `count` bytes; false when the input ends first.
    bool Skip(std::uint64_t count);

    // Bytes left to read, when known (a regular file or memory).
    std::optional<std::uint64_t> Remaining() const;
    std::uint64_t Position() const { return position_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::optional<std::uint64_t> size_;
    std::span<const std::uint8_t> memory_;
    bool memoryOpen_ = false;
    std::uint64_t position_ = 0;
};
