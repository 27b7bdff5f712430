#include "clsDownloadUnit.h"

clsDownloadUnit::Bytes clsDownloadUnit::DownLoadData() const {
    const std::span<const std::uint8_t> data = Data();
    return Bytes(data.begin(), data.end());
}

void clsDownloadUnit::SetDownLoadData(std::span<const std::uint8_t> bytes) {
    auto own = std::make_shared<const Bytes>(bytes.begin(), bytes.end());
    length_ = own->size();
    data_ = std::shared_ptr<const std::uint8_t>(own, own->data());
}

std::span<const std::uint8_t> clsDownloadUnit::Data() const {
    if (length_ == 0) {
        return {};
    }
    return std::span<const std::uint8_t>(data_.get(), length_);
}

bool clsDownloadUnit::SetSharedData(SharedBuffer buffer, std::size_t bufferSize, std::size_t offset,
                                    std::size_t length) {
    if (!buffer || offset > bufferSize || length > bufferSize - offset) {
        data_.reset();
        length_ = 0;
        return false;
    }
    const std::uint8_t* first = buffer.get() + offset;
    data_ = std::shared_ptr<const std::uint8_t>(std::move(buffer), first);
    length_ = length;
    return true;
}
