#include "clsApdReader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

bool clsApdReader::OpenFile(const std::string& path) {
    Close();
    std::error_code error;
    const std::filesystem::path fsPath(path);
    if (path.empty() || std::filesystem::is_directory(fsPath, error)) {
        return false;
    }
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(fsPath, error);
    if (!error && std::filesystem::is_regular_file(fsPath, error)) {
        size_ = size;
    }
    return true;
}

void clsApdReader::OpenMemory(std::span<const std::uint8_t> bytes) {
    Close();
    memory_ = bytes;
    memoryOpen_ = true;
    size_ = bytes.size();
}

void clsApdReader::Close() {
    file_.reset();
    memory_ = {};
    memoryOpen_ = false;
    size_.reset();
    position_ = 0;
}

std::optional<std::uint64_t> clsApdReader::Remaining() const {
    if (!size_) {
        return std::nullopt;
    }
    return *size_ > position_ ? *size_ - position_ : 0;
}

bool clsApdReader::ReadByte(std::uint8_t& byte) {
    if (file_) {
        const int c = std::fgetc(file_.get());
        if (c == EOF) {
            return false;
        }
        byte = static_cast<std::uint8_t>(c);
        ++position_;
        return true;
    }
    if (!memoryOpen_ || position_ >= memory_.size()) {
        return false;
    }
    byte = memory_[position_++];
    return true;
}

bool clsApdReader::Read(std::span<std::uint8_t> out) {
    if (file_) {
        const std::size_t got = std::fread(out.data(), 1, out.size(), file_.get());
        position_ += got;
        return got == out.size();
    }
    const std::optional<std::uint64_t> left = Remaining();
    if (!memoryOpen_ || !left || *left < out.size()) {
        return false;
    }
    if (!out.empty()) {
        std::memcpy(out.data(), memory_.data() + position_, out.size());
    }
    position_ += out.size();
    return true;
}

bool clsApdReader::Skip(std::uint64_t count) {
    const std::optional<std::uint64_t> left = Remaining();
    if (left && *left < count) {
        return false;
    }
    if (file_ && left) {
        if (std::fseek(file_.get(), static_cast<long>(count), SEEK_CUR) != 0) {
            return false;
        }
        position_ += count;
        return true;
    }
    if (file_) {
        // Size unknown (not a regular file): read through the bytes.
        std::vector<std::uint8_t> chunk(std::min<std::uint64_t>(count, 64 * 1024));
        while (count > 0) {
            const std::size_t step =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, chunk.size()));
            if (!Read(std::span(chunk).first(step))) {
                return false;
            }
            count -= step;
        }
        return true;
    }
    if (!memoryOpen_) {
        return false;
    }
    position_ += count;
    return true;
}
