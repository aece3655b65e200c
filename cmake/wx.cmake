# wxWidgets through wx-config, as two imported targets:
#   nv::wxbase - wxBase only (engines, parsers, the registry)
#   nv::wxgui  - core, base, GL canvas, HTML and net (windows)
find_program(WX_CONFIG NAMES wx-config REQUIRED)

function(nv_wx_target target libs)
  execute_process(COMMAND ${WX_CONFIG} --cxxflags OUTPUT_VARIABLE wx_cxx OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${WX_CONFIG} --libs ${libs} OUTPUT_VARIABLE wx_libs OUTPUT_STRIP_TRAILING_WHITESPACE)
  separate_arguments(wx_cxx UNIX_COMMAND "${wx_cxx}")
  separate_arguments(wx_libs UNIX_COMMAND "${wx_libs}")
  set(defs "")
  set(incs "")
  set(opts "")
  foreach(f ${wx_cxx})
    if(f MATCHES "^-I(.*)")
      list(APPEND incs ${CMAKE_MATCH_1})
    elseif(f MATCHES "^-D(.*)")
      list(APPEND defs ${CMAKE_MATCH_1})
    else()
      list(APPEND opts ${f})
    endif()
  endforeach()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${incs}"
    INTERFACE_COMPILE_DEFINITIONS "${defs}"
    INTERFACE_COMPILE_OPTIONS "${opts}"
    INTERFACE_LINK_LIBRARIES "${wx_libs}")
endfunction()

nv_wx_target(nv::wxbase "base")
nv_wx_target(nv::wxgui "core,base,gl,html,net")
