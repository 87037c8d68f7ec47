# Helpers for the Windows build: IDL, message catalogues, Wine-run tests, staging.
include(GoogleTest)
include(core_sources)

set(CORV_BIN   ${CMAKE_BINARY_DIR}/bin)    # shipped binaries
set(CORV_LAB   ${CMAKE_BINARY_DIR}/lab)    # lab stand-in DLLs (tests and demo only)
set(CORV_STAGE ${CMAKE_BINARY_DIR}/stage)  # products + lab + test programs side by side
set(CORV_WINE_INCLUDE /usr/include/wine/wine/windows)
set(CORV_WINE_TLBDIR  /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(CORV_SCRIPTS ${CMAKE_SOURCE_DIR}/scripts)
file(MAKE_DIRECTORY ${CORV_BIN} ${CORV_LAB} ${CORV_STAGE})

# Both trees' tests run under Wine, in the one win64 prefix beside them (build root/wineprefix):
# x86_64 programs through /usr/lib/wine/wine64, i686 ones through SysWOW64 and the 32-bit loader
# /usr/lib/wine/wine (CORV_ARCH=win32 tells scripts/env.sh which). scripts/test runs the i686
# tree only where the machine runs 32-bit code.
set(CORV_RUNS_HERE TRUE)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CORV_ARCH win64)
else()
  set(CORV_ARCH win32)
endif()
get_filename_component(CORV_BUILD_ROOT ${CMAKE_BINARY_DIR} DIRECTORY)
# A run of this tree sets the Wine environment it needs, whatever the caller's shell holds.
set(CORV_PLAIN_OVERRIDES "mscoree,mshtml=;netapi32,mpr,netui2=b")
set(CORV_ENV_HEAD "#!/bin/sh\nexport CORV_BUILD_ROOT='${CORV_BUILD_ROOT}'\nexport CORV_ARCH='${CORV_ARCH}'\nexport WINEPREFIX='${CORV_BUILD_ROOT}/wineprefix'\nunset WINELOADER WINEDLLPATH\n")
set(CORV_ENV ${CMAKE_BINARY_DIR}/corv-env)
file(WRITE ${CORV_ENV} "${CORV_ENV_HEAD}export WINEDLLOVERRIDES='${CORV_PLAIN_OVERRIDES}'\nexec \"$@\"\n")
file(CHMOD ${CORV_ENV} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CORV_ENV} ${CMAKE_SOURCE_DIR}/scripts/wine-run)
# The same with the lab stand-ins switched on: Wine then takes netapi32, mpr and netui2 from
# the folder of the module that imports them (the staging folder) instead of its own.
set(CORV_LAB_OVERRIDES "mscoree,mshtml=;netapi32,mpr,netui2=n,b")
set(CORV_ENV_LAB ${CMAKE_BINARY_DIR}/corv-env-lab)
file(WRITE ${CORV_ENV_LAB} "${CORV_ENV_HEAD}export WINEDLLOVERRIDES='${CORV_LAB_OVERRIDES}'\nexec \"$@\"\n")
file(CHMOD ${CORV_ENV_LAB} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wall> $<$<COMPILE_LANGUAGE:CXX>:-Wextra>
                    $<$<COMPILE_LANGUAGE:CXX>:-Wno-unused-parameter> $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
# Each binary needs only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS    "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # The .def names the exports undecorated; link them to the stdcall symbols quietly.
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--enable-stdcall-fixup")
endif()
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")

# corv_idl(<target> <idl> [IMPORTS dir...]): widl -> type library, header, identifiers.
# Adds an object library <target> with the identifiers; the header lands in its binary dir.
function(corv_idl target idl)
  cmake_parse_arguments(A "" "" "INCLUDES" ${ARGN})
  get_filename_component(base ${idl} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(incs -I ${CORV_WINE_INCLUDE} -I ${CMAKE_SOURCE_DIR}/server)
  foreach(d ${A_INCLUDES})
    list(APPEND incs -I ${d})
  endforeach()
  add_custom_command(
    OUTPUT ${out}/${base}.tlb ${out}/${base}_h.h ${out}/${base}_i.c
    COMMAND ${CORV_WIDL} ${CORV_WIDL_ARCH} ${incs} -L ${CORV_WINE_TLBDIR} -DCORV_TLB
            -t -T ${out}/${base}.tlb ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    COMMAND ${CORV_WIDL} ${CORV_WIDL_ARCH} ${incs}
            -h -H ${out}/${base}_h.h -u -U ${out}/${base}_i.c ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${idl} ${CMAKE_SOURCE_DIR}/server/zrlog.idl
    WORKING_DIRECTORY ${out}
    COMMENT "widl ${idl}")
  add_library(${target} OBJECT ${out}/${base}_i.c)
  target_include_directories(${target} PUBLIC ${out})
  set_source_files_properties(${out}/${base}.tlb PROPERTIES GENERATED TRUE)
  add_custom_target(${target}_tlb DEPENDS ${out}/${base}.tlb)
  add_dependencies(${target} ${target}_tlb)
endfunction()

# corv_mc(<var> <mc>): windmc -> .rc (included by the module's .rc) and .bin in the binary dir.
function(corv_mc target mc)
  get_filename_component(base ${mc} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${out}/${base}.rc ${out}/${base}.h ${out}/MSG00409.bin
    COMMAND ${CORV_WINDMC} -U -r ${out} -h ${out} ${CMAKE_CURRENT_SOURCE_DIR}/${mc}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${mc}
    WORKING_DIRECTORY ${out}
    COMMENT "windmc ${mc}")
  add_custom_target(${target} DEPENDS ${out}/${base}.rc ${out}/${base}.h)
endfunction()

# corv_stage(<target>): copy the target's file into the staging folder after each build.
function(corv_stage target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${CORV_STAGE}/)
endfunction()

# corv_add_wine_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [LAB] [PROPERTIES ...])
# A GoogleTest program, built into the staging folder and run under Wine by ctest,
# one ctest test per test case. Needs the libraries registered (fixture "registered").
# LAB: run with the lab stand-ins switched on (WINEDLLOVERRIDES).
function(corv_add_wine_test name)
  cmake_parse_arguments(A "LAB" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  if(A_LAB)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${CORV_ENV_LAB};${CMAKE_SOURCE_DIR}/scripts/wine-run")
  endif()
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${A_LIBS}
                        ole32 oleaut32 uuid advapi32)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CORV_STAGE})
  if(CORV_RUNS_HERE)
    gtest_discover_tests(${name}
      WORKING_DIRECTORY ${CORV_STAGE}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES FIXTURES_REQUIRED registered TIMEOUT 120 LABELS "wine;${A_LABELS}" ${A_PROPERTIES})
  endif()
endfunction()

# corv_add_vbs_test(<name> <file.vbs> [LAB]): a VBScript run by Wine's cscript from the staging
# folder. The script prints one line per failure, then "N passed, N failed", and quits with the
# failure count.
function(corv_add_vbs_test name vbs)
  cmake_parse_arguments(A "LAB" "" "" ${ARGN})
  set(env ${CORV_ENV})
  if(A_LAB)
    set(env ${CORV_ENV_LAB})
  endif()
  if(CORV_RUNS_HERE)
    add_test(NAME script.${name}
      COMMAND ${env} ${CORV_SCRIPTS}/run-vbs ${CMAKE_CURRENT_SOURCE_DIR}/${vbs}
      WORKING_DIRECTORY ${CORV_STAGE})
    set_tests_properties(script.${name} PROPERTIES FIXTURES_REQUIRED registered TIMEOUT 120
      LABELS "wine;script")
  endif()
endfunction()
