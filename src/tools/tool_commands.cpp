#include "tools/tool_commands.h"

// One line per subcommand: { "name", run_name }, declared here.

int run_reslice(int argc, char** argv);

const std::vector<tool_command>& tool_commands() {
  static const std::vector<tool_command> commands = {
      {"reslice", run_reslice},
  };
  return commands;
}
