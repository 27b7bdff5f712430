#include "ServerUrl.h"

#include <charconv>

namespace {

// %XX escapes, as a URL may carry them in its user, password and database.
bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int value = 0;
        if (i + 2 >= text.size()) {
            return false;
        }
        const auto [end, code] =
            std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (code != std::errc() || end != text.data() + i + 3) {
            return false;
        }
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

}  // namespace

bool ServerUrl::Parse(const std::string& text, ServerUrl& url, std::string& error) {
    url = ServerUrl{};
    error =
        "not a history server URL (postgresql://user@host:port/database): " + WithoutPassword(text);
    std::string rest;
    for (const char* scheme : {"postgresql://", "postgres://"}) {
        if (text.rfind(scheme, 0) == 0) {
            rest = text.substr(std::string(scheme).size());
        }
    }
    if (rest.empty()) {
        return false;
    }
    const std::size_t slash = rest.find('/');
    if (slash == std::string::npos || slash + 1 >= rest.size()) {
        return false;
    }
    std::string database = rest.substr(slash + 1);
    database = database.substr(0, database.find('?'));
    std::string authority = rest.substr(0, slash);
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const std::size_t colon = userInfo.find(':');
        if (!Unescape(userInfo.substr(0, colon), url.user) ||
            (colon != std::string::npos && !Unescape(userInfo.substr(colon + 1), url.password))) {
            return false;
        }
    }
    std::string port;
    if (!authority.empty() && authority[0] == '[') {  // [IPv6]:port
        const std::size_t close = authority.find(']');
        if (close == std::string::npos) {
            return false;
        }
        url.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') {
                return false;
            }
            port = authority.substr(close + 2);
        }
    } else {
        const std::size_t colon = authority.find(':');
        url.host = authority.substr(0, colon);
        if (colon != std::string::npos) {
            port = authority.substr(colon + 1);
        }
    }
    if (url.host.empty() || !Unescape(database, url.database) || url.database.empty()) {
        return false;
    }
    if (!port.empty()) {
        const auto [end, code] = std::from_chars(port.data(), port.data() + port.size(), url.port);
        if (code != std::errc() || end != port.data() + port.size() || url.port < 1 ||
            url.port > 65535) {
            return false;
        }
    }
    error.clear();
    return true;
}

std::string ServerUrl::WithoutPassword(const std::string& text) {
    const std::size_t scheme = text.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    // The user part ends at the last "@": a password may hold any other sign.
    const std::size_t at = text.rfind('@');
    const std::size_t colon = text.find(':', start);
    if (at == std::string::npos || at < start || colon == std::string::npos || colon > at) {
        return text;
    }
    return text.substr(0, colon) + text.substr(at);
}

std::string ServerUrl::Shown() const {
    const bool v6 = host.find(':') != std::string::npos;
    return "postgresql://" + (user.empty() ? "" : user + "@") + (v6 ? "[" + host + "]" : host) +
           ":" + std::to_string(port) + "/" + database;
}

bool ServerUrl::TakeOption(std::vector<std::string>& args, const std::string& option,
                           std::string& value, std::string& error) {
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == option) {
            if (i + 1 >= args.size()) {
                error = option + " needs a URL (postgresql://user@host:port/database)";
                return false;
            }
            value = args[++i];
        } else if (args[i].rfind(option + "=", 0) == 0) {
            value = args[i].substr(option.size() + 1);
        } else {
            kept.push_back(args[i]);
        }
    }
    args = std::move(kept);
    return true;
}
