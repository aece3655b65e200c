#include "tools/tool_commands.h"

// One line per subcommand: { "name", run_name }, declared here.
int run_roundtrip(int argc, char** argv);

int run_surface_grid(int argc, char** argv);
int run_surface_field(int argc, char** argv);
int run_surface_ply(int argc, char** argv);
int run_surface(int argc, char** argv);

int run_model(int argc, char** argv);
int run_refobj(int argc, char** argv);
int run_import_objects(int argc, char** argv);

const std::vector<tool_command>& tool_commands() {
  static const std::vector<tool_command> commands = {
      {"roundtrip", run_roundtrip},
      {"surface-grid", run_surface_grid},
      {"surface-field", run_surface_field},
      {"surface-ply", run_surface_ply},
      {"surface", run_surface},
      {"model", run_model},
      {"refobj", run_refobj},
      {"import-objects", run_import_objects},
  };
  return commands;
}

const std::vector<const char*>& image_tool_command_names() {
  static const std::vector<const char*> names = {"export-frames", "reslice", "convert", "thickness", "thickness-map",
                                                 "thickness-save",
                                                 "segment", "correct"};
  return names;
}
