#include "tools/tool_commands.h"

// One line per subcommand: { "name", run_name }, declared here.
int run_convert(int argc, char** argv);

const std::vector<tool_command>& tool_commands() {
  static const std::vector<tool_command> commands = {
      {"convert", run_convert},
  };
  return commands;
}
