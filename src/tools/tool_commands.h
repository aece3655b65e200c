// Subcommands of nv_tool that live in files of their own: each file defines
// one run function and is listed in tool_commands.cpp.
#pragma once

#include <vector>

struct tool_command {
  const char* name;
  int (*run)(int argc, char** argv);  // argv[1] is the subcommand's name
};

const std::vector<tool_command>& tool_commands();
