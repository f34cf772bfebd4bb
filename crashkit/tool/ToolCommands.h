#pragma once
// The subcommands of crashkit-tool: one row each, so that more can be added as rows.
#include <span>
#include <string>
#include <vector>

struct TToolCommand {
    const char* name;
    const char* usage; // arguments after the name
    // Exit code of the program; arguments after the subcommand's name.
    int (*run)(const std::vector<std::string>& arguments);
};

std::span<const TToolCommand> ToolCommands();
