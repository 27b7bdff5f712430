#pragma once

#include <filesystem>

// Files that hold serial numbers, host names and paths (the history, the
// traces) are readable by their user alone.
namespace PrivateFile {

// Makes `file` empty with the rights 0600 when it does not exist yet (a
// file that is there keeps its rights). Where rights are not Unix ones it
// does nothing.
void Create(const std::filesystem::path& file);

}  // namespace PrivateFile
