#include "clsPNV480DnLdData.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#ifdef __linux__
#include <sys/mman.h>

#include <cerrno>
#endif

#include "ProgramMessageBoxes.h"
#include "clsApdReader.h"
#include "clsFastCrc16.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::size_t kPageSize = 256;
constexpr std::int32_t kMaxHeaderPages = 127;  // the header size must fit a signed 16-bit count

// Header positions, after descrambling.
constexpr std::size_t kHeaderWordAt = 0;
constexpr std::size_t kSkipPagesAt = 2;
constexpr std::size_t kSteppedOverAt = 5;
constexpr std::size_t kPageOrderAt = 9;
constexpr std::size_t kBodyLengthAt = 265;
constexpr std::size_t kParameterLengthAt = 268;
constexpr std::size_t kFlashLengthAt = 270;

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kHugeBodyPages = 4;

constexpr const char* kNoMemory = "not enough memory to prepare the data";

// Bytes of the body read at once: a few hundred pages, while they are in cache.
constexpr std::size_t kBodyPiece = 64 * 1024;

// The key stream for positions 0 to 255 of a section keyed by `key`. It
// repeats every 256 bytes, so one page of it serves every page.
std::array<std::uint8_t, kPageSize> KeyPage(std::uint8_t key) {
    std::array<std::uint8_t, kPageSize> page{};
    for (std::size_t i = 0; i < kPageSize; ++i) {
        page[i] = mduGlobalModule::XorCrcLoByte(static_cast<std::uint8_t>(key + i), 0);
    }
    return page;
}

std::string NamePart(std::string_view text) {
    std::string part(text.substr(0, text.find('.')));
    for (char& c : part) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return part;
}

// Room for the unscrambled body, not zeroed: every byte is written before
// it is read. Null when there is not enough memory.
//
// On Linux a large body gets its own mapping, aligned for 2 MB pages and
// filled in by the kernel in one call: otherwise each 4 KB page of a 16 MB
// body costs a page fault the first time it is written, some 4,000 in all.
// Where the kernel cannot do either, the mapping is used as it is. Only a
// body of several 2 MB pages gets one: the last page is held whole, and on a
// smaller body that would be most of the memory it takes.
std::shared_ptr<std::uint8_t[]> NewBodyBuffer(std::size_t size) {
#ifdef __linux__
    if (size >= kHugeBodyPages * kHugePage) {
        const std::size_t length = (size + kHugePage - 1) / kHugePage * kHugePage;
        void* const mapped = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            return nullptr;
        }
        auto* const raw = static_cast<std::uint8_t*>(mapped);
        const std::size_t lead =
            (kHugePage - reinterpret_cast<std::uintptr_t>(raw) % kHugePage) % kHugePage;
        std::uint8_t* const start = raw + lead;
        if (lead > 0) {
            munmap(raw, lead);
        }
        munmap(start + length, kHugePage - lead);
        std::shared_ptr<std::uint8_t[]> body(start,
                                             [length](std::uint8_t* p) { munmap(p, length); });
#ifdef MADV_HUGEPAGE
        madvise(start, length, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
        // ENOMEM here is a clean refusal now instead of a fault while writing.
        if (madvise(start, length, MADV_POPULATE_WRITE) != 0 && errno == ENOMEM) {
            return nullptr;
        }
#endif
        return body;
    }
#endif
    return std::shared_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

// The fault box of the header parse: OK button, no icon, the fault's text.
void ShowHeaderFault(const std::string& description) {
    platform::ProgramMessageBoxes::Get().Show(description, platform::MsgButtons::Ok,
                                              platform::MsgIcon::None);
}

}  // namespace

const std::string& clsPNV480DnLdData::MessageCannotOpen() {
    static const std::string text =
        "   異常狀況 : 無法開啟檔案!!\r\n   依下列說明處置\r\n    a.請輸入正確檔案路徑及檔名\r\n   "
        " b.使用<瀏覽>按鍵協助您選取正確檔案";
    return text;
}

const std::string& clsPNV480DnLdData::MessageToolVersion() {
    static const std::string text =
        "   異常狀況 : 本連線程式版本與資料檔不符!!\r\n   依下列說明處置\r\n    a. "
        "請輸入正確版本檔案.\r\n    b. 使用<瀏覽>按鍵協助您選取正確版本檔案.\r\n    c. "
        "向經銷商索取正確之資料檔.\r\n    d. 上本公司網站下載正確之資料檔.";
    return text;
}

const std::string& clsPNV480DnLdData::MessageContent() {
    static const std::string text =
        "   異常狀況 : 資料檔內容異常!!\r\n   依下列說明處置\r\n    a. 請輸入正確版本檔案.\r\n    "
        "b. 使用<瀏覽>按鍵協助您選取正確版本檔案.\r\n    c. 向經銷商索取正確之資料檔.\r\n    d. "
        "上本公司網站下載正確之資料檔.";
    return text;
}

const std::string& clsPNV480DnLdData::MessagePreparation() {
    static const std::string text = "異常狀況(資料準備失敗)";
    return text;
}

clsPNV480DnLdData::clsPNV480DnLdData() {
    InitSetup("C:\\");
}

clsPNV480DnLdData::~clsPNV480DnLdData() = default;

void clsPNV480DnLdData::InitSetup(const std::string& fileName) {
    fileName_ = fileName;
    errorMessage_.clear();
    lastFailure_ = LoadFailure::None;
    dataFileVersion_.clear();
    toolVersionList_.clear();
    unitProgramVersionList_.clear();
    headerWord_ = skipPages_ = bodyLength_ = parameterLength_ = flashLength_ = 0;
    flashBlocks_ = std::make_unique<clsDnLdUnitDataArray>();
    parameterBlocks_ = std::make_unique<clsDnLdUnitDataArray>();
    flashIndex_ = -1;
    parameterIndex_ = -1;
    pageOrder_.assign(kPageSize, 0);
}

bool clsPNV480DnLdData::Fail(LoadFailure failure, std::string_view description) {
    lastFailure_ = failure;
    switch (failure) {
        case LoadFailure::CannotOpen:
            errorMessage_ = MessageCannotOpen();
            break;
        case LoadFailure::ToolVersion:
            errorMessage_ = MessageToolVersion();
            break;
        case LoadFailure::Content:
            errorMessage_ = MessageContent();
            break;
        case LoadFailure::Preparation:
        case LoadFailure::None:
            lastFailure_ = LoadFailure::Preparation;
            errorMessage_ = MessagePreparation() + " : " + std::string(description);
            failureReason_ = description;
            break;
    }
    return false;
}

bool clsPNV480DnLdData::FailContent(std::string reason) {
    failureReason_ = std::move(reason);
    return Fail(LoadFailure::Content);
}

bool clsPNV480DnLdData::LoadData() {
    errorMessage_.clear();
    failureReason_.clear();
    lastFailure_ = LoadFailure::None;
    clsApdReader reader;  // read-only; closed whichever way this returns
    if (!reader.OpenFile(fileName_)) {
        failureReason_ = "the file cannot be opened (it is missing, a folder or not readable)";
        return Fail(LoadFailure::CannotOpen);
    }
    return Load(reader);
}

bool clsPNV480DnLdData::LoadData(std::span<const std::uint8_t> image) {
    errorMessage_.clear();
    failureReason_.clear();
    lastFailure_ = LoadFailure::None;
    clsApdReader reader;
    reader.OpenMemory(image);
    return Load(reader);
}

// Reads characters up to the closing 0x00. False when the input ends first
// or when more than `limit` characters come before it.
bool clsPNV480DnLdData::ReadVersionText(clsApdReader& reader, std::size_t limit,
                                        std::string& text) {
    text.clear();
    std::uint8_t byte = 0;
    while (reader.ReadByte(byte)) {
        if (byte == 0) {
            return true;
        }
        text.push_back(static_cast<char>(byte));
        if (text.size() > limit) {
            return false;
        }
    }
    return false;
}

// Every way the file can end early is a content fault (case C): the plain
// part, the two records and each of the three sections alike.
bool clsPNV480DnLdData::Load(clsApdReader& reader) {
    try {
        // Where the file ends, for the reasons of a file that ends early.
        const std::optional<std::uint64_t> fileSize = reader.Remaining();
        const auto endsInside = [&](const std::string& part, std::uint64_t length) {
            const std::uint64_t from = reader.Position();
            std::string reason = "the file ";
            if (fileSize) {
                reason += "is " + std::to_string(*fileSize) + " bytes long and ";
            }
            reason += "ends inside the " + part + " (bytes " + std::to_string(from) + " to " +
                      std::to_string(from + length - 1) + ")";
            return FailContent(std::move(reason));
        };
        std::array<std::uint8_t, 3> record{};
        const auto readText = [&](std::size_t limit, const std::string& what, std::string& text) {
            if (!reader.Read(std::span(record).first(2))) {
                return endsInside("length of the " + what, 2);
            }
            const std::uint64_t from = reader.Position();
            const auto declared = static_cast<std::int16_t>(TwoByteDataToInteger(record));
            if (!ReadVersionText(reader, limit, text)) {
                if (text.size() > limit) {
                    return FailContent("the " + what + " (from byte " + std::to_string(from) +
                                       ") is longer than " + std::to_string(limit) + " characters");
                }
                return FailContent("the file ends at byte " + std::to_string(reader.Position()) +
                                   " inside the " + what + " (from byte " + std::to_string(from) +
                                   "), before its closing 0 byte");
            }
            if (static_cast<std::int32_t>(text.size()) != declared) {
                return FailContent("the " + what + " has " + std::to_string(text.size()) +
                                   " characters but its length says " + std::to_string(declared));
            }
            return true;
        };
        const auto readRecord = [&](const std::string& what) {
            if (!reader.Read(record)) {
                return endsInside(what, record.size());
            }
            if (!mduGlobalModule::CheckCrc16(record)) {
                return FailContent("the CRC check of the " + what + " failed");
            }
            return true;
        };

        if (!readText(kVersionLimit, "data file version", dataFileVersion_) ||
            !readText(kListLimit, "tool version list", toolVersionList_)) {
            return false;
        }
        if (!MatchVersionList(toolVersion_, toolVersionList_)) {
            failureReason_ = "the tool version " + toolVersion_ +
                             " is not in the file's tool version list \"" + toolVersionList_ + "\"";
            return Fail(LoadFailure::ToolVersion);
        }
        if (!readText(kListLimit, "unit program version list", unitProgramVersionList_) ||
            !readRecord("key record")) {
            return false;
        }
        const std::uint8_t key = record[0];
        if (!readRecord("header page count record")) {
            return false;
        }
        const std::int32_t pages = mduGlobalModule::XorCrcLoByte(key, record[0]);
        if (pages == 0) {
            return Fail(LoadFailure::Preparation, "the header section has no pages (page count 0)");
        }
        if (pages > kMaxHeaderPages) {
            return Fail(LoadFailure::Preparation,
                        "header page count " + std::to_string(pages) +
                            " is above 127: the header section size overflows");
        }

        std::vector<std::uint8_t> header(static_cast<std::size_t>(pages) * kPageSize);
        if (!reader.Read(header)) {
            return endsInside("header section of " + std::to_string(pages) + " pages",
                              header.size());
        }
        if (!ParseHeaderSection(header, key)) {
            return Fail(LoadFailure::Content);
        }

        if (skipPages_ == 0) {
            return Fail(LoadFailure::Preparation, "the skip section has no pages (skip count 0)");
        }
        if (!reader.Skip(static_cast<std::uint64_t>(skipPages_) * kPageSize)) {
            return endsInside("skip section of " + std::to_string(skipPages_) + " pages",
                              static_cast<std::uint64_t>(skipPages_) * kPageSize);
        }

        if (bodyLength_ == 0) {
            return Fail(LoadFailure::Preparation, "the body section is empty (body length 0)");
        }
        const std::size_t bodySize =
            (static_cast<std::size_t>(bodyLength_) + kPageSize - 1) / kPageSize * kPageSize;
        // A file too short for its body is refused before the buffer is made.
        const std::optional<std::uint64_t> left = reader.Remaining();
        if (left && *left < bodySize) {
            return endsInside("body section of " + std::to_string(bodyLength_) + " bytes",
                              bodySize);
        }
        std::shared_ptr<std::uint8_t[]> body = NewBodyBuffer(bodySize);
        if (!body) {
            return Fail(LoadFailure::Preparation, kNoMemory);
        }
        if (!ParseBodySection(reader, std::move(body), bodySize, key)) {
            return Fail(LoadFailure::Content);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return Fail(LoadFailure::Preparation, kNoMemory);
    }
}

bool clsPNV480DnLdData::ParseHeaderSection(std::span<std::uint8_t> header, std::uint8_t key) {
    const std::array<std::uint8_t, kPageSize> keyPage = KeyPage(key);
    for (std::size_t i = 0; i < header.size(); ++i) {
        header[i] ^= keyPage[i % kPageSize];
    }
    if (!clsFastCrc16::Check(header)) {
        failureReason_ = "the CRC check of the header section failed";
        return false;
    }

    const auto field = [&](std::size_t at, std::size_t size, const char* name,
                           std::span<const std::uint8_t>& out) {
        if (at + size > header.size()) {
            failureReason_ = std::string("Header field out of range: the ") + name + " (bytes " +
                             std::to_string(at) + " to " + std::to_string(at + size - 1) +
                             ") runs past the end of the " + std::to_string(header.size()) +
                             "-byte header section";
            ShowHeaderFault(failureReason_);
            return false;
        }
        out = std::span<const std::uint8_t>(header).subspan(at, size);
        return true;
    };
    const auto signed16 = [this](std::int32_t value, const char* name) {
        if (value > 32767) {
            failureReason_ = std::string("Overflow: the ") + name + " " + std::to_string(value) +
                             " is above 32767";
            ShowHeaderFault(failureReason_);
            return false;
        }
        return true;
    };

    std::span<const std::uint8_t> bytes;
    if (!field(kHeaderWordAt, 2, "header word", bytes) ||
        !signed16(TwoByteDataToInteger(bytes), "header word")) {
        return false;
    }
    headerWord_ = TwoByteDataToInteger(bytes);
    if (!field(kSkipPagesAt, 3, "skip page count", bytes)) {
        return false;
    }
    skipPages_ = ThreeByteDataToInteger(bytes);
    if (!field(kSteppedOverAt, 4, "reserved bytes", bytes) ||
        !field(kPageOrderAt, kPageSize, "page order table", bytes)) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), pageOrder_.begin());
    if (!field(kBodyLengthAt, 3, "body length", bytes)) {
        return false;
    }
    bodyLength_ = ThreeByteDataToInteger(bytes);
    if (!field(kParameterLengthAt, 2, "parameter data length", bytes) ||
        !signed16(TwoByteDataToInteger(bytes), "parameter data length")) {
        return false;
    }
    parameterLength_ = TwoByteDataToInteger(bytes);
    if (!field(kFlashLengthAt, 3, "flash data length", bytes)) {
        return false;
    }
    flashLength_ = ThreeByteDataToInteger(bytes);
    return true;
}

// Reads the body section piece by piece and, one page at a time while it is
// in cache, restores the byte order, runs the CRC over the restored (still
// scrambled) page and writes the page descrambled into `body`. The CRC covers
// the whole section and is judged before any block is made.
bool clsPNV480DnLdData::ParseBodySection(clsApdReader& reader, std::shared_ptr<std::uint8_t[]> body,
                                         std::size_t bodySize, std::uint8_t key) {
    if (!clsFastCrc16::Ready()) {
        // Without the CRC tables nothing can be checked; the CRC reports that.
        failureReason_ = "the CRC tables are not ready: the body section cannot be checked";
        if (reader.Skip(bodySize)) {
            clsFastCrc16::Check(std::array<std::uint8_t, 1>{});
        }
        return false;
    }
    std::array<std::uint8_t, kPageSize> order{};
    for (std::size_t i = 0; i < kPageSize; ++i) {
        order[i] = static_cast<std::uint8_t>(pageOrder_[i]);
    }
    const std::array<std::uint8_t, kPageSize> keyPage = KeyPage(key);
    std::array<std::uint64_t, kPageSize / 8> keyWords{};
    std::memcpy(keyWords.data(), keyPage.data(), kPageSize);

    // Pages are restored into a batch of work pages whose CRCs are run side
    // by side, then descrambled into the body. The table is not checked to
    // be a permutation. A position it never names is never written in any
    // page, so it stays 0 in every work page, as in a single work page that
    // is not cleared between pages.
    constexpr std::size_t kBatch = 4;
    std::array<std::array<std::uint8_t, kPageSize>, kBatch> work{};
    std::array<const std::uint8_t*, kBatch> restored{};
    for (std::size_t k = 0; k < kBatch; ++k) {
        restored[k] = work[k].data();
    }
    std::size_t inBatch = 0;
    std::uint16_t crc = clsFastCrc16::kInitial;
    std::uint8_t* out = body.get();
    const auto flush = [&] {
        crc = clsFastCrc16::UpdatePages(crc, std::span(restored).first(inBatch));
        for (std::size_t k = 0; k < inBatch; ++k, out += kPageSize) {
            for (std::size_t w = 0; w < kPageSize / 8; ++w) {
                std::uint64_t word = 0;
                std::memcpy(&word, work[k].data() + 8 * w, 8);
                word ^= keyWords[w];
                std::memcpy(out + 8 * w, &word, 8);
            }
        }
        inBatch = 0;
    };
    const auto takePage = [&](const std::uint8_t* page) {
        std::uint8_t* const into = work[inBatch].data();
        for (std::size_t i = 0; i < kPageSize; ++i) {
            into[order[i]] = page[i];
        }
        if (++inBatch == kBatch) {
            flush();
        }
    };

    // A piece of a file may end inside a page; the page is completed from
    // the next piece.
    std::array<std::uint8_t, kPageSize> split{};
    std::size_t splitFill = 0;
    std::size_t left = bodySize;
    while (left > 0) {
        std::span<const std::uint8_t> piece = reader.ReadSome(std::min(left, kBodyPiece));
        if (piece.empty()) {
            // The file ended early or could not be read.
            failureReason_ = "the file ends at byte " + std::to_string(reader.Position()) +
                             " inside the body section (" + std::to_string(left) +
                             " bytes of it missing)";
            return false;
        }
        left -= piece.size();
        if (splitFill > 0) {
            const std::size_t take = std::min(kPageSize - splitFill, piece.size());
            std::memcpy(split.data() + splitFill, piece.data(), take);
            splitFill += take;
            piece = piece.subspan(take);
            if (splitFill < kPageSize) {
                continue;
            }
            takePage(split.data());
            splitFill = 0;
        }
        for (; piece.size() >= kPageSize; piece = piece.subspan(kPageSize)) {
            takePage(piece.data());
        }
        std::memcpy(split.data(), piece.data(), piece.size());
        splitFill = piece.size();
    }
    flush();
    if (crc != 0) {
        failureReason_ = "the CRC check of the body section failed";
        return false;
    }

    const std::size_t parameterLength = static_cast<std::size_t>(parameterLength_);
    const std::size_t flashLength = static_cast<std::size_t>(flashLength_);
    if (parameterLength + flashLength > bodySize) {
        // A block range would run past the body.
        failureReason_ = "the parameter and flash data (" + std::to_string(parameterLength) +
                         " + " + std::to_string(flashLength) +
                         " bytes) are longer than the body section (" + std::to_string(bodySize) +
                         " bytes)";
        return false;
    }
    const clsDownloadUnit::SharedBuffer shared = std::move(body);
    const auto cut = [&](clsDnLdUnitDataArray& list, std::size_t start, std::size_t length,
                         std::size_t blockSize, std::int32_t baseAddress) {
        list.Clear();
        list.Reserve((length + blockSize - 1) / blockSize);
        for (std::size_t o = 0; o < length; o += blockSize) {
            clsDownloadUnit* unit = list.Add();
            unit->SetAddress(baseAddress + static_cast<std::int32_t>(o));
            unit->SetSharedData(shared, bodySize, start + o, std::min(blockSize, length - o));
        }
    };
    cut(*parameterBlocks_, 0, parameterLength, kParameterBlockSize, kParameterBaseAddress);
    cut(*flashBlocks_, parameterLength, flashLength, kFlashBlockSize, 0);
    return true;
}

std::int32_t clsPNV480DnLdData::ThreeByteDataToInteger(std::span<const std::uint8_t> bytes) {
    std::int32_t value = 0;
    for (std::size_t i = 0; i < 3 && i < bytes.size(); ++i) {
        value |= static_cast<std::int32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

std::int32_t clsPNV480DnLdData::TwoByteDataToInteger(std::span<const std::uint8_t> bytes) {
    std::int32_t value = 0;
    for (std::size_t i = 0; i < 2 && i < bytes.size(); ++i) {
        value |= static_cast<std::int32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

bool clsPNV480DnLdData::MatchVersionList(std::string_view version, std::string_view list) {
    const std::string wanted = NamePart(version);
    if (wanted.empty()) {
        return false;
    }
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = list.find(',', begin);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        if (NamePart(list.substr(begin, end - begin)) == wanted) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

bool clsPNV480DnLdData::CheckUnitProgramVersion(std::string_view version) const {
    return MatchVersionList(version, unitProgramVersionList_);
}

const clsDownloadUnit* clsPNV480DnLdData::Next(const clsDnLdUnitDataArray& list,
                                               std::int32_t& cursor) {
    if (cursor + 1 >= list.Count()) {
        return nullptr;
    }
    ++cursor;
    return list.Item(cursor + 1);
}

const clsDownloadUnit* clsPNV480DnLdData::Current(const clsDnLdUnitDataArray& list,
                                                  std::int32_t cursor) {
    if (cursor < 0 || cursor >= list.Count()) {
        return nullptr;
    }
    return list.Item(cursor + 1);
}

const clsDownloadUnit* clsPNV480DnLdData::NextFlashBlock() {
    return Next(*flashBlocks_, flashIndex_);
}

const clsDownloadUnit* clsPNV480DnLdData::CurrFlashBlock() const {
    return Current(*flashBlocks_, flashIndex_);
}

const clsDownloadUnit* clsPNV480DnLdData::NextEEPParameterBlock() {
    return Next(*parameterBlocks_, parameterIndex_);
}

const clsDownloadUnit* clsPNV480DnLdData::CurrEEPParameterBlock() const {
    return Current(*parameterBlocks_, parameterIndex_);
}
