#include "tools/tool_commands.h"

// One line per subcommand: { "name", run_name }, declared here.

const std::vector<tool_command>& tool_commands() {
  static const std::vector<tool_command> commands = {
  };
  return commands;
}
