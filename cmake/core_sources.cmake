# Windows-free sources (no platform headers), built into the products and natively for the
# sanitizer tests and fuzzers. Paths are relative to the source root.
set(TERN_CORE_SOURCES
  tern/model/sid_codec.cpp
  tern/model/ace_codec.cpp
  tern/model/acl_codec.cpp
  tern/model/sd_codec.cpp
  tern/storage/sd_layout.cpp
  tern/storage/object_path.cpp
)
set(TERN_CORE_INCLUDES tern/model tern/storage)

set(WICK_CORE_SOURCES
  wick/core/cstream.cpp
  wick/core/directory_forms.cpp
  wick/core/text_codecs.cpp
  wick/core/log_line.cpp
)
set(WICK_CORE_INCLUDES wick/core)

set(CORVANE_CORE_SOURCES
  corvane/core/change_log.cpp
  corvane/core/cmd_args.cpp
  corvane/core/descriptor_check.cpp
  corvane/core/disk_text.cpp
  corvane/core/drive_item.cpp
  corvane/core/log_parse.cpp
  corvane/core/safe_text.cpp
  corvane/core/settings_form.cpp
)
set(CORVANE_CORE_INCLUDES corvane/core)

# corv_core_library(<name> <sources var> <includes var>)
function(corv_core_library name srcs incs)
  set(files)
  foreach(f ${${srcs}})
    list(APPEND files ${CMAKE_SOURCE_DIR}/${f})
  endforeach()
  set(dirs)
  foreach(d ${${incs}})
    list(APPEND dirs ${CMAKE_SOURCE_DIR}/${d})
  endforeach()
  if(files)
    add_library(${name} STATIC ${files})
    target_include_directories(${name} PUBLIC ${dirs})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${dirs})
  endif()
endfunction()
