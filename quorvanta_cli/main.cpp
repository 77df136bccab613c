// quorvanta-cli: captures the argument list and hands it to the dispatcher.
#include "quorvanta_cli/Tool.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using namespace quorvanta::cli;
    std::ios::sync_with_stdio(false);
    Cli cli{Args(argc, argv), std::cout, std::cerr};
    int status = kFailed;
    try {
        status = run(cli);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "quorvanta-cli: " << e.what() << '\n';
    }
    std::cout.flush();
    return std::cout ? status : kFailed;
}
