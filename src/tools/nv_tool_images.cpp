// nv_tool_images: the commands of nv_tool that read or write images through
// the toolkit's image handlers (which live in its GUI library); nv_tool
// hands them over with its own arguments. No display is needed.
#include "tools/tool_commands.h"

int main(int argc, char** argv) { return tool_main(argc, argv, image_tool_commands()); }
