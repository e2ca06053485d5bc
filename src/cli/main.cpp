#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "platform/CoreDumps.h"

int main(int argc, char** argv) {
    velora::disableCoreDumps();
    std::vector<std::string> args(argv + 1, argv + argc);
    return velora::cli::main(args, std::cout, std::cerr);
}
