#pragma once

#include <string>

// The diagnostic text box that echoes the last frame sent.
class IHostImageDisplay {
  public:
    virtual ~IHostImageDisplay() = default;
    virtual std::string HostImageText() const = 0;
    virtual void SetHostImageText(const std::string& text) = 0;
};
