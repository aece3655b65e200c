// The GLSL programs of one OpenGL view: 21 program slots read at run time
// from the folder "shaders" beside the program, compiled with the slot's
// preprocessor definitions, linked with fixed attribute and output
// locations, made current with their uniforms and vertex attributes.
//
// A set belongs to one view and one OpenGL context. It is created before the
// context exists (the constructor makes no OpenGL call) and installed at the
// view's first paint.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/filename.h>
#include <wx/string.h>

class shader {
 public:
  static constexpr int kSlots = 21;
  static constexpr int kUserShaders = 4;
  // The programs the 2D views draw their text with (slots 10 and 18).
  static constexpr uint32_t kViewMask = 0x40400;
  // Every slot, as the 3D view installs them.
  static constexpr uint32_t kAllMask = 0x1FFFFF;

  // Slot numbers that callers name.
  enum : int {
    kNoLight3D = 8,
    kNoLightColours = 9,
    kNoLight2D = 10,
    kNoLightTexture = 11,
    kFromTexture = 12,
    kRadiantShadowing = 13,
    kAmbientOcclusion = 14,
    kVolumeRender = 15,
    kVolumeRenderShadows = 16,
    kVolumeRenderOpaqueShadows = 17,
    kRenderFont = 18,
    kBackground = 19,
    kDepthOfField = 20,
  };

  // Files are read from <RES_EXEC_DIR>/shaders.
  shader();
  // Files are read from <exec_dir>/shaders.
  explicit shader(const wxString& exec_dir);
  ~shader();
  shader(const shader&) = delete;
  shader& operator=(const shader&) = delete;

  // Installs every slot whose bit is set in `mask`; on the first failure
  // nothing stays installed. True when all requested slots are installed
  // (also for mask 0).
  bool install_programs(uint32_t mask);
  bool install_program(int slot);
  // Reads, prepares and compiles the slot's vertex (true) or fragment (false)
  // file into the shader object already created for it.
  bool compile_shader(int slot, bool vertex);

  // Makes the slot's program current, loads its uniforms from `values` (entry
  // k points to the first float of uniform k) and points its attributes into
  // the bound array buffer holding `vertex_count` vertices. Ignored when the
  // slot is not installed.
  void use_program(int slot, int vertex_count, std::vector<const float*> values);
  void stop_program();
  void delete_programs();
  void delete_program(int slot);

  // Base name of a slot's files ("phong") and its definitions, in order.
  static const char* base_name(int slot);
  static std::vector<std::string> slot_definitions(int slot);

  // Program slot of user shader k: entries 0 to 3 draw one colour per
  // surface, entries 4 to 7 (k + 4) per-vertex colours.
  int user_slot[2 * kUserShaders];
  wxString user_shader_name[kUserShaders];
  // Bit n set while slot n is installed.
  uint32_t installed_mask = 0;
  unsigned int program[kSlots] = {};
  unsigned int vertex_shader[kSlots] = {};
  unsigned int fragment_shader[kSlots] = {};
  wxFileName file[kSlots];
  std::vector<wxString> definitions[kSlots];
  // Slot whose program is current, -1 for none.
  int current = -1;
};

// The source handed to the compiler: every line followed by "\n"; right
// after a line beginning with "#version", one "#define NAME\n" per
// definition, in order. Without a "#version" line no definition is added.
std::string prepare_shader_source(const std::vector<wxString>& lines,
                                  const std::vector<wxString>& definitions);

// Reads a text file's lines (byte-order mark detected, any line ends);
// false, without a message, when it cannot be opened.
bool read_shader_lines(const wxString& path, std::vector<wxString>& lines);
