#include "Cli.h"

#include "CliCommands.h"

#include <new>

int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    try {
        return RunCliCommand(ParseCommandLine(args), CliStreams{out, err});
    } catch (const CliUsageError& e) {
        if (!e.showUsage) {
            std::fprintf(err, "marlo-cli: %s\n", e.message.c_str());
            return kCliUsage;
        }
        std::fprintf(err, "marlo-cli: %s\n%s詳しくは marlo-cli --help を見てください。\n", e.message.c_str(),
                     kCliUsageText);
        return kCliUsage;
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "marlo-cli: メモリが足りません。\n");
        return kCliFailed;
    }
}
