#pragma once

#include <string>
#include <vector>

// Where the shared history lives: postgresql://user@host:port/database
// (also postgres://; the port defaults to 5432, the user to the one logged
// in). A password may be written as user:password@, but is better kept in
// the PGPASSWORD environment variable or the user's password file, where
// the database's own client library finds it.
struct ServerUrl {
    std::string user;
    std::string password;
    std::string host;
    int port = 5432;
    std::string database;

    static constexpr const char* kEnvironment = "GPSUPDATE_HISTORY_SERVER";

    // False with the reason in `error` for text that is not such a URL.
    static bool Parse(const std::string& text, ServerUrl& url, std::string& error);
    // The URL without its password (for messages).
    std::string Shown() const;
    // The same of a text that may not even be a URL: user:password@ becomes
    // user@.
    static std::string WithoutPassword(const std::string& text);
    // Takes `option` URL and `option`=URL out of `args` (the others stay,
    // in order). False with the reason for an option without a value.
    static bool TakeOption(std::vector<std::string>& args, const std::string& option,
                           std::string& value, std::string& error);
};
