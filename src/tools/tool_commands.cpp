#include "tools/tool_commands.h"

// One line per subcommand: { "name", run_name }, declared here.
int run_convert(int argc, char** argv);

int run_reslice(int argc, char** argv);

int run_surface_grid(int argc, char** argv);
int run_surface_field(int argc, char** argv);
int run_surface_ply(int argc, char** argv);
int run_surface(int argc, char** argv);

int run_thickness(int argc, char** argv);
int run_thickness_map(int argc, char** argv);

int run_segment(int argc, char** argv);

int run_model(int argc, char** argv);

const std::vector<tool_command>& tool_commands() {
  static const std::vector<tool_command> commands = {
      {"reslice", run_reslice},
      {"convert", run_convert},
      { "surface-grid", run_surface_grid },
      { "surface-field", run_surface_field },
      { "surface-ply", run_surface_ply },
      { "surface", run_surface },
      {"thickness", run_thickness},
      {"segment", run_segment},
      {"thickness-map", run_thickness_map},
      {"model", run_model},
  };
  return commands;
}
