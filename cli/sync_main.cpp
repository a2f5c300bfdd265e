// marlo-cli-sync: the sync command of marlo-cli, which marlo-cli starts in its own
// place for `marlo-cli sync`.
#include "Cli.h"
#include "CliSync.h"

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN); // as marlo-cli: a save past the size limit is reported
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr, &CliSync);
}
