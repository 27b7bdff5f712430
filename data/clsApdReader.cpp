#include "clsApdReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

// What kind of file an open stream reads, and its size when it is a regular file.
struct FileKind {
    bool folder = false;
    std::optional<std::uint64_t> size;
};

#ifdef _WIN32

// The UTF-16 form of a UTF-8 name; empty when the name is empty or not
// valid UTF-8.
std::wstring WideName(const std::string& utf8) {
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int wide =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (wide <= 0) {
        return {};
    }
    std::wstring name(static_cast<std::size_t>(wide), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, name.data(),
                            wide) != wide) {
        return {};
    }
    return name;
}

std::FILE* OpenForReading(const std::string& path) {
    const std::wstring name = WideName(path);
    if (name.empty() || name.find(L'\0') != std::wstring::npos) {
        return nullptr;
    }
    return _wfopen(name.c_str(), L"rb");
}

FileKind KindOf(std::FILE* file) {
    FileKind kind;
    struct _stat64 info {};
    if (_fstat64(_fileno(file), &info) == 0) {
        kind.folder = (info.st_mode & _S_IFMT) == _S_IFDIR;
        if ((info.st_mode & _S_IFMT) == _S_IFREG && info.st_size >= 0) {
            kind.size = static_cast<std::uint64_t>(info.st_size);
        }
    }
    return kind;
}

bool SeekForward(std::FILE* file, std::uint64_t count) {
    if (count > static_cast<std::uint64_t>(std::numeric_limits<__int64>::max())) {
        return false;
    }
    return _fseeki64(file, static_cast<__int64>(count), SEEK_CUR) == 0;
}

#else

// The name's bytes as they are: the file system takes bytes.
std::FILE* OpenForReading(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return nullptr;
    }
    return std::fopen(path.c_str(), "rb");
}

FileKind KindOf(std::FILE* file) {
    FileKind kind;
    struct stat info {};
    if (fstat(fileno(file), &info) == 0) {
        kind.folder = S_ISDIR(info.st_mode);
        if (S_ISREG(info.st_mode) && info.st_size >= 0) {
            kind.size = static_cast<std::uint64_t>(info.st_size);
        }
    }
    return kind;
}

bool SeekForward(std::FILE* file, std::uint64_t count) {
    if (count > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return false;
    }
    return fseeko(file, static_cast<off_t>(count), SEEK_CUR) == 0;
}

#endif

}  // namespace

bool clsApdReader::OpenFile(const std::string& path) {
    Close();
    std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) {
        return false;
    }
    const FileKind kind = KindOf(file.get());
    if (kind.folder) {
        return false;
    }
    // Room for the whole of a small file, a moderate piece of a large one.
    const std::size_t capacity =
        kind.size ? static_cast<std::size_t>(std::clamp<std::uint64_t>(*kind.size, 1, kBufferSize))
                  : kBufferSize;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[capacity]);
    if (!buffer) {
        return false;
    }
    // The reader buffers by itself; the stream's own buffer would only add a copy.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    file_ = std::move(file);
    buffer_ = std::move(buffer);
    capacity_ = capacity;
    size_ = kind.size;
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
    buffer_.reset();
    capacity_ = begin_ = end_ = 0;
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

bool clsApdReader::Refill() {
    begin_ = end_ = 0;
    if (!file_) {
        return false;
    }
    std::size_t want = capacity_;
    if (const std::optional<std::uint64_t> left = Remaining()) {
        want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *left));
    }
    if (want == 0) {
        return false;
    }
    end_ = std::fread(buffer_.get(), 1, want, file_.get());
    return end_ > 0;
}

std::span<const std::uint8_t> clsApdReader::ReadSome(std::size_t max) {
    if (max == 0) {
        return {};
    }
    if (memoryOpen_) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(max, Remaining().value_or(0)));
        const std::span<const std::uint8_t> view = memory_.subspan(position_, take);
        position_ += take;
        return view;
    }
    if (Buffered() == 0 && !Refill()) {
        return {};
    }
    const std::size_t take = std::min(max, Buffered());
    const std::span<const std::uint8_t> view(buffer_.get() + begin_, take);
    begin_ += take;
    position_ += take;
    return view;
}

bool clsApdReader::ReadByte(std::uint8_t& byte) {
    const std::span<const std::uint8_t> one = ReadSome(1);
    if (one.empty()) {
        return false;
    }
    byte = one[0];
    return true;
}

bool clsApdReader::Read(std::span<std::uint8_t> out) {
    if (const std::optional<std::uint64_t> left = Remaining(); left && *left < out.size()) {
        return false;
    }
    while (!out.empty()) {
        const std::span<const std::uint8_t> piece = ReadSome(out.size());
        if (piece.empty()) {
            return false;
        }
        std::memcpy(out.data(), piece.data(), piece.size());
        out = out.subspan(piece.size());
    }
    return true;
}

bool clsApdReader::Skip(std::uint64_t count) {
    const std::optional<std::uint64_t> left = Remaining();
    if (left && *left < count) {
        return false;
    }
    if (memoryOpen_) {
        position_ += count;
        return true;
    }
    if (!file_) {
        return false;
    }
    const std::size_t fromBuffer =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, Buffered()));
    begin_ += fromBuffer;
    position_ += fromBuffer;
    count -= fromBuffer;
    if (count == 0) {
        return true;
    }
    // The buffer is empty now. A regular file of known size holds the bytes
    // (checked above), so step over them; anything else is read through.
    if (left && SeekForward(file_.get(), count)) {
        position_ += count;
        return true;
    }
    while (count > 0) {
        const std::span<const std::uint8_t> piece =
            ReadSome(static_cast<std::size_t>(std::min<std::uint64_t>(count, kBufferSize)));
        if (piece.empty()) {
            return false;
        }
        count -= piece.size();
    }
    return true;
}
