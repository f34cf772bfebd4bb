#pragma once
// crashkit-tool's "settings" subcommand.
#include <string>
#include <vector>

// Prints the settings resource of a PE file as the store reads it, one "name=value" a line.
int SettingsCommand(const std::vector<std::string>& arguments);
