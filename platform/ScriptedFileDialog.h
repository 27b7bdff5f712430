#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "IFileDialog.h"

namespace platform {

// The common file dialog for tests: every request is recorded with the kind
// of dialog; answers come from a script queue (a path, or a cancel), else a
// cancel.
class ScriptedFileDialog final : public IFileDialog {
  public:
    enum class Kind { Open, Save };

    struct Request {
        Kind kind;
        FileDialogRequest request;
    };

    std::optional<std::string> ShowOpen(const FileDialogRequest& request) override;
    std::optional<std::string> ShowSave(const FileDialogRequest& request) override;

    void QueuePath(std::string path) { script_.emplace_back(std::move(path)); }
    void QueueCancel() { script_.emplace_back(std::nullopt); }

    const std::vector<Request>& Requests() const { return requests_; }
    void Clear() { requests_.clear(); }

  private:
    std::optional<std::string> Answer(Kind kind, const FileDialogRequest& request);

    std::deque<std::optional<std::string>> script_;
    std::vector<Request> requests_;
};

}  // namespace platform
