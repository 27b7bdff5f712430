#include "clsDownloadUnit.h"

clsDownloadUnit::Bytes clsDownloadUnit::DownLoadData() const {
    const std::span<const std::uint8_t> data = Data();
    return Bytes(data.begin(), data.end());
}

void clsDownloadUnit::SetDownLoadData(std::span<const std::uint8_t> bytes) {
    auto own = std::make_shared<const Bytes>(bytes.begin(), bytes.end());
    length_ = own->size();
    offset_ = 0;
    buffer_ = std::move(own);
}

std::span<const std::uint8_t> clsDownloadUnit::Data() const {
    if (!buffer_) {
        return {};
    }
    return std::span<const std::uint8_t>(*buffer_).subspan(offset_, length_);
}

bool clsDownloadUnit::SetSharedData(std::shared_ptr<const Bytes> buffer, std::size_t offset,
                                    std::size_t length) {
    if (!buffer || offset > buffer->size() || length > buffer->size() - offset) {
        buffer_.reset();
        offset_ = 0;
        length_ = 0;
        return false;
    }
    buffer_ = std::move(buffer);
    offset_ = offset;
    length_ = length;
    return true;
}
