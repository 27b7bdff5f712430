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
//
// A file is read in moderate pieces into one buffer that is reused to the
// end, never in one piece into fresh memory: a 16 MB file then costs a few
// dozen reads and no page faults beyond the buffer's own. A read error ends
// the input like the end of the file does.
class clsApdReader {
  public:
    // The most a file read asks for at once.
    static constexpr std::size_t kBufferSize = 128 * 1024;

    // Opens the file for reading only. The name is UTF-8; on Windows it is
    // opened through the wide (UTF-16) interface, elsewhere its bytes are
    // used as they are. False when it cannot be opened, when the name is not
    // valid UTF-8 on Windows, or when it is a folder.
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
    // The next bytes of the input without copying them: at least one and at
    // most `max`, as a view into the memory or into the reader's buffer that
    // stays valid until the next call. Empty when the input has ended (or
    // `max` is 0).
    std::span<const std::uint8_t> ReadSome(std::size_t max);

    // Bytes left to read, when known (a regular file or memory).
    std::optional<std::uint64_t> Remaining() const;
    std::uint64_t Position() const { return position_; }

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::size_t Buffered() const { return end_ - begin_; }
    // Reads the next piece of the file into the empty buffer; false at the
    // end of the file or on a read error.
    bool Refill();

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::unique_ptr<std::uint8_t[]> buffer_;  // file bytes read but not yet delivered
    std::size_t capacity_ = 0;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::optional<std::uint64_t> size_;
    std::span<const std::uint8_t> memory_;
    bool memoryOpen_ = false;
    std::uint64_t position_ = 0;  // bytes delivered (or stepped over) so far
};
