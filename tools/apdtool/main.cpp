#include <iostream>
#include <string>
#include <vector>

#include "ApdTool.h"
#include "mduGlobalModule.h"

int main(int argc, char** argv) {
    mduGlobalModule::InitGlobalTables();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = ApdTool::Run(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
