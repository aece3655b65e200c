// nv_tool: headless operations on Norvelith data files. It links wxBase
// only, so that data commands such as "roundtrip" start without loading the
// GUI toolkit; the commands that read or write images run in
// nv_tool_images beside it, with the same arguments.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/tool_commands.h"

namespace {

// The helper program in this program's folder.
std::string image_tool_path() {
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "nv_tool_images";
  std::string path(self, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "nv_tool_images";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const char* name : image_tool_command_names()) {
      if (std::strcmp(argv[1], name) != 0) continue;
      const std::string helper = image_tool_path();
      ::execv(helper.c_str(), argv);
      std::fprintf(stderr, "nv_tool: cannot run %s: %s\n", helper.c_str(), std::strerror(errno));
      return 1;
    }
  }
  return tool_main(argc, argv, tool_commands());
}
