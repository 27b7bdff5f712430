#include "PrivateFile.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

void PrivateFile::Create(const std::filesystem::path& file) {
#ifndef _WIN32
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
#else
    (void)file;
#endif
}
