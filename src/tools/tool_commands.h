// Subcommands of the tool programs. nv_tool links wxBase only and runs the
// data commands itself; the commands that read or write images through the
// toolkit's image handlers need its GUI library and live in
// nv_tool_images, which nv_tool hands them to. Each command's file defines
// one run function and is listed in tool_commands.cpp or
// tool_image_commands.cpp.
#pragma once

#include <vector>

struct tool_command {
  const char* name;
  int (*run)(int argc, char** argv);  // argv[1] is the subcommand's name
};

// The commands of nv_tool itself.
const std::vector<tool_command>& tool_commands();
// The commands of nv_tool_images.
const std::vector<tool_command>& image_tool_commands();
// The names of the latter, known to nv_tool without linking them.
const std::vector<const char*>& image_tool_command_names();

// Both programs' main: the "C" locale, wxBase, messages on the standard
// error, then the command named by argv[1]; the usage otherwise.
int tool_main(int argc, char** argv, const std::vector<tool_command>& commands);
