#include "Cli.h"

#include "CliCommands.h"

#include <new>

int RunCli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, CliCommandFunction sync) {
    try {
        const CliRequest request = ParseCommandLine(args);
        const CliStreams streams{out, err};
        if (request.command == CliCommand::Sync && sync)
            return sync(request, streams);
        return RunCliCommand(request, streams);
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
