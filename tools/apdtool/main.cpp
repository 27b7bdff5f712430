#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>
#endif

#include "ApdTool.h"
#include "GpsUpdateVersion.h"
#include "mduGlobalModule.h"

namespace {

// The arguments after the program name, in UTF-8, the form the tool's file
// names take. On Windows they come from the wide command line: the narrow
// argv holds them in the ANSI code page, which cannot spell every name.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        std::vector<std::string> args;
        for (int i = 1; i < count; ++i) {
            const int size =
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string arg(size > 1 ? static_cast<std::size_t>(size) : 1, '\0');
            if (size > 1) {
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
            }
            arg.resize(arg.size() - 1);  // the closing null
            args.push_back(std::move(arg));
        }
        LocalFree(wide);
        return args;
    }
#endif
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The texts, the operator's error texts among them, are UTF-8.
    SetConsoleOutputCP(CP_UTF8);
#endif
    mduGlobalModule::InitGlobalTables();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args = Arguments(argc, argv);
    if (!args.empty() && args[0] == "--version") {
        std::cout << "apdtool " << gpsupdate::kVersion << "\n";
        return ApdTool::kOk;
    }
    const int status = ApdTool::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
