#pragma once

// A port of 127.0.0.1 that takes connections and never answers (listening),
// or where nothing listens any more (not): a history server that cannot
// answer (POSIX only).

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

struct SilentPort {
    explicit SilentPort(bool listening) : fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(listening ? listen(fd, 8) : 0, 0);
        EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
        if (!listening) {
            close(fd);
            fd = -1;
        }
    }
    ~SilentPort() {
        if (fd >= 0) {
            close(fd);
        }
    }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;

    int fd;
    int port = 0;
};
