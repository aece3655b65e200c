#include <wx/init.h>
#include <wx/log.h>
#include <wx/string.h>

#include <clocale>
#include <cstdio>

#include "data/file_save.h"
#include "tools/tool_commands.h"

int tool_main(int argc, char** argv, const std::vector<tool_command>& commands) {
  // A write past the file-size limit fails and is reported.
  ignore_file_size_signal();
  std::setlocale(LC_ALL, "C");
  wxInitializer init;
  if (!init.IsOk()) {
    std::fprintf(stderr, "nv_tool: cannot initialise the toolkit\n");
    return 1;
  }
  std::setlocale(LC_ALL, "C");
  wxLog::SetActiveTarget(new wxLogStderr);
  wxLog::DisableTimestamp();
  wxLog::SetLogLevel(wxLOG_Info);

  if (argc >= 2) {
    for (const tool_command& c : commands)
      if (wxString(argv[1]) == c.name) return c.run(argc, argv);
  }
  std::fprintf(stderr,
               "usage: nv_tool roundtrip IN.hm OUT.hm\n"
               "       nv_tool export-frames IN.hm RANGE hm|bmp|png|jpeg|tiff OUT "
               "[grey|thresholds|labels]\n"
               "       nv_tool reslice IN.hm PLANE OUT.hm [CHOICE]\n"
               "       nv_tool convert IN OUT\n"
               "       nv_tool thickness ...\n"
               "       nv_tool thickness-map IN SETTINGS.ini SURFACE.ply OUT.csv\n"
               "       nv_tool thickness-save IN.hm SETTINGS.ini OBJECT OUT\n"
               "       nv_tool segment IN.hm FRAME X Y OUT.hm\n"
               "       nv_tool correct IN.hm positions|pressure OUT.hm\n"
               "       nv_tool model MODEL.ply [IN.hm [--substructures FIRST OUT.hm]]\n"
               "       nv_tool refobj FILE.ply|FILE.wrl\n"
               "       nv_tool import-objects DATA FILE OUT.hm\n"
               "       nv_tool surface|surface-grid|surface-field|surface-ply ...\n");
  return 2;
}
