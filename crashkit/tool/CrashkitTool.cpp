// Exposes the crash library's platform-free routines on the command line, for tests that
// compare them with independent implementations.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tool/ToolCommands.h"
#include "tool/ToolPlatform.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: crashkit-tool COMMAND ARGUMENTS\n");
    for (const TToolCommand& command : ToolCommands())
        std::fprintf(stderr, "  %s %s\n", command.name, command.usage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::vector<std::string> arguments = ToolArguments(argc, argv);
        if (arguments.empty())
            return Usage();
        UseBinaryStdio();
        for (const TToolCommand& command : ToolCommands()) {
            if (arguments.front() == command.name)
                return command.run({arguments.begin() + 1, arguments.end()});
        }
        return Usage();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "crashkit-tool: %s\n", error.what());
        return 1;
    }
}
