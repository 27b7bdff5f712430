#include "clsApdPacker.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>

#include "clsFastCrc16.h"
#include "mduGlobalModule.h"

#ifdef _WIN32
#include <filesystem>
#endif

namespace {

// Opens `path` (UTF-8) for writing. On Windows the narrow functions would take
// the name in the ANSI code page, so the name goes through UTF-16 there.
std::FILE* OpenForWriting(const std::string& path) {
#ifdef _WIN32
    std::filesystem::path name;
    try {
        name = std::filesystem::path(std::u8string(path.begin(), path.end()));
    } catch (const std::exception&) {
        return nullptr;  // not valid UTF-8
    }
    return _wfopen(name.c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

constexpr std::size_t kPageSize = 256;

std::uint8_t KeyByte(std::uint8_t key, std::size_t position) {
    return mduGlobalModule::XorCrcLoByte(static_cast<std::uint8_t>(key + position), 0);
}

// Little-endian value of `width` bytes at `at`, cut where the array ends.
void PutValue(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        if (at + i < bytes.size()) {
            bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
}

// The CRC of all but the last two bytes, stored there low byte first.
void SealWithCrc(std::span<std::uint8_t> bytes) {
    if (bytes.size() < 2) {
        return;
    }
    const std::uint16_t crc =
        clsFastCrc16::Update(clsFastCrc16::kInitial, bytes.first(bytes.size() - 2));
    bytes[bytes.size() - 2] = static_cast<std::uint8_t>(crc & 0xFF);
    bytes[bytes.size() - 1] = static_cast<std::uint8_t>(crc >> 8);
}

// Eight bytes per draw, low byte first.
void Fill(std::span<std::uint8_t> bytes, std::mt19937_64& generator) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::uint64_t draw = generator();
        for (int k = 0; k < 8 && i < bytes.size(); ++k, ++i, draw >>= 8) {
            bytes[i] = static_cast<std::uint8_t>(draw);
        }
    }
}

bool Refuse(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

bool CheckText(const std::string& text, const char* name, std::string* error) {
    if (text.size() > 32767) {
        return Refuse(error, std::string(name) + " is longer than 32767 characters");
    }
    if (text.find('\0') != std::string::npos) {
        return Refuse(error, std::string(name) + " contains a 0x00 byte");
    }
    return true;
}

}  // namespace

std::optional<clsApdPacker::Bytes> clsApdPacker::Pack(const Settings& s, std::string* error,
                                                      std::vector<Boundary>* layout) {
    const std::uint32_t parameterSize = static_cast<std::uint32_t>(s.parameterData.size());
    const std::uint32_t flashSize = static_cast<std::uint32_t>(s.flashData.size());
    const std::uint64_t dataSize = std::uint64_t{parameterSize} + flashSize;
    const std::uint32_t e = s.parameterLength.value_or(parameterSize);
    const std::uint32_t f = s.flashLength.value_or(flashSize);
    const std::uint64_t r = s.bodyLength ? *s.bodyLength : dataSize + 2;
    if (!CheckText(s.dataFileVersion, "the data file version", error) ||
        !CheckText(s.toolVersionList, "the tool version list", error) ||
        !CheckText(s.unitProgramVersionList, "the unit program version list", error)) {
        return std::nullopt;
    }
    if (e > 0xFFFF || s.parameterData.size() > 0xFFFF) {
        Refuse(error, "the parameter data is longer than 65535 bytes");
        return std::nullopt;
    }
    if (f > 0xFFFFFF || r > 0xFFFFFF) {
        Refuse(error, "the flash data or the body is longer than 16777215 bytes");
        return std::nullopt;
    }
    if (s.headerPages < 0 || s.headerPages > 255 || s.skipPages < 0 || s.skipPages > 0xFFFFFF) {
        Refuse(error, "the header pages must be 0 to 255 and the skip pages 0 to 16777215");
        return std::nullopt;
    }
    const std::size_t bodySize =
        static_cast<std::size_t>((r + kPageSize - 1) / kPageSize) * kPageSize;
    if (!s.bodyLength && dataSize + 2 > bodySize) {
        Refuse(error, "the data does not fit the body");
        return std::nullopt;
    }

    std::mt19937_64 filler(s.fillerSeed);
    Bytes out;
    out.reserve(s.dataFileVersion.size() + s.toolVersionList.size() +
                s.unitProgramVersionList.size() + 15 +
                static_cast<std::size_t>(s.headerPages + s.skipPages) * kPageSize + bodySize);
    const auto mark = [&](const char* name) {
        if (layout != nullptr) {
            layout->push_back(Boundary{name, out.size()});
        }
    };
    if (layout != nullptr) {
        layout->clear();
    }

    const auto putText = [&](const std::string& text, const char* lengthName, const char* name) {
        out.push_back(static_cast<std::uint8_t>(text.size() & 0xFF));
        out.push_back(static_cast<std::uint8_t>(text.size() >> 8));
        mark(lengthName);
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
        mark(name);
    };
    putText(s.dataFileVersion, "version length", "data file version");
    putText(s.toolVersionList, "tool list length", "tool version list");
    putText(s.unitProgramVersionList, "unit list length", "unit program version list");

    const auto putRecord = [&](std::uint8_t value, const char* name) {
        std::array<std::uint8_t, 3> record{value, 0, 0};
        SealWithCrc(record);
        out.insert(out.end(), record.begin(), record.end());
        mark(name);
    };
    putRecord(s.key, "key record");
    putRecord(static_cast<std::uint8_t>(s.headerPages ^ KeyByte(s.key, 0)), "page count record");

    // Header: fields (where they fit before the CRC), filler, CRC, scrambled.
    Bytes header(static_cast<std::size_t>(s.headerPages) * kPageSize);
    Fill(header, filler);
    {
        const std::span<std::uint8_t> fields =
            std::span(header).first(header.size() >= 2 ? header.size() - 2 : 0);
        PutValue(fields, 0, s.headerWord, 2);
        PutValue(fields, 2, static_cast<std::uint32_t>(s.skipPages), 3);
        for (std::size_t i = 0; i < kPageSize; ++i) {
            PutValue(fields, 9 + i, s.pageOrder[i], 1);
        }
        PutValue(fields, 265, static_cast<std::uint32_t>(r), 3);
        PutValue(fields, 268, e, 2);
        PutValue(fields, 270, f, 3);
    }
    SealWithCrc(header);
    for (std::size_t i = 0; i < header.size(); ++i) {
        header[i] ^= KeyByte(s.key, i);
    }
    out.insert(out.end(), header.begin(), header.end());
    mark("header section");

    const std::size_t skipStart = out.size();
    out.resize(skipStart + static_cast<std::size_t>(s.skipPages) * kPageSize);
    Fill(std::span(out).subspan(skipStart), filler);
    mark("skip section");

    // Body: data, filler, scrambled, CRC over the scrambled bytes, pages
    // stored in the order the table gives.
    Bytes body(bodySize);
    Fill(body, filler);
    const std::size_t room = bodySize >= 2 ? bodySize - 2 : 0;
    const std::size_t parameterPart = std::min<std::size_t>(parameterSize, room);
    std::copy_n(s.parameterData.begin(), parameterPart, body.begin());
    const std::size_t flashPart = std::min<std::size_t>(flashSize, room - parameterPart);
    std::copy_n(s.flashData.begin(), flashPart, body.begin() + parameterPart);
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] ^= KeyByte(s.key, i);
    }
    SealWithCrc(body);
    const std::size_t bodyStart = out.size();
    out.resize(bodyStart + bodySize);
    for (std::size_t p = 0; p < bodySize; p += kPageSize) {
        for (std::size_t i = 0; i < kPageSize; ++i) {
            out[bodyStart + p + i] = body[p + s.pageOrder[i]];
        }
    }
    mark("body section");
    return out;
}

clsApdPacker::PageOrder clsApdPacker::IdentityOrder() {
    PageOrder order{};
    std::iota(order.begin(), order.end(), std::uint8_t{0});
    return order;
}

clsApdPacker::PageOrder clsApdPacker::ReverseOrder() {
    PageOrder order = IdentityOrder();
    std::reverse(order.begin(), order.end());
    return order;
}

clsApdPacker::PageOrder clsApdPacker::RandomOrder(std::uint64_t seed) {
    // Fisher-Yates on the generator's raw output, so the order for a seed is
    // the same with every standard library.
    std::mt19937_64 generator(seed);
    PageOrder order = IdentityOrder();
    for (std::size_t i = order.size() - 1; i > 0; --i) {
        std::swap(order[i], order[generator() % (i + 1)]);
    }
    return order;
}

clsApdPacker::Bytes clsApdPacker::SeededBytes(std::size_t count, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    Bytes bytes(count);
    Fill(bytes, generator);
    return bytes;
}

bool clsApdPacker::WriteFile(const std::string& path, std::span<const std::uint8_t> bytes,
                             std::string* error) {
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file(OpenForWriting(path));
    if (!file) {
        return Refuse(error, "cannot create " + path);
    }
    if ((!bytes.empty() &&
         std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) ||
        std::fclose(file.release()) != 0) {
        return Refuse(error, "cannot write " + path);
    }
    return true;
}
