#include "Cli.h"

#include <csignal>

int main(int argc, char** argv) {
    // Past the file-size limit a write fails with EFBIG, which a save reports; the
    // signal would end the program instead, before it could say why.
    std::signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, stdout, stderr);
}
