#include "tools/tool_commands.h"

// One line per subcommand that reads or writes images: { "name", run_name },
// declared here; its name also goes into image_tool_command_names().
int run_export_frames(int argc, char** argv);
int run_reslice(int argc, char** argv);
int run_convert(int argc, char** argv);
int run_thickness(int argc, char** argv);
int run_thickness_map(int argc, char** argv);
int run_thickness_save(int argc, char** argv);
int run_segment(int argc, char** argv);
int run_correct(int argc, char** argv);

const std::vector<tool_command>& image_tool_commands() {
  static const std::vector<tool_command> commands = {
      {"export-frames", run_export_frames},
      {"reslice", run_reslice},
      {"convert", run_convert},
      {"thickness", run_thickness},
      {"thickness-map", run_thickness_map},
      {"thickness-save", run_thickness_save},
      {"segment", run_segment},
      {"correct", run_correct},
  };
  return commands;
}
