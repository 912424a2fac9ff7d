# Making module executables in the cross build with the host tools of tools/,
# which are built beforehand with the host compiler (scripts/build does it).
#
#   include(tools/OrvaneModule.cmake)
#   orvane_module(RouteViewerModule RUNTIME OrvaneRuntime OUTPUT OrvaneRouteViewer.exe
#                 SOURCES routeviewer/a.cpp routeviewer/b.cpp [DEV_DIR <dir>])
#
# compiles the sources freestanding, builds <name>.image and <name>.map with
# the builder, stamps the image behind the runtime into OUTPUT (in the build
# folder) and, with DEV_DIR, also writes the five development-mode files there.

set(ORVANE_HOST_TOOLS_DIR "${CMAKE_BINARY_DIR}/host" CACHE PATH "Build folder of tools/ (host compiler)")
set(ORVANE_MODBUILD "${ORVANE_HOST_TOOLS_DIR}/orvane-modbuild")
set(ORVANE_STAMP "${ORVANE_HOST_TOOLS_DIR}/orvane-stamp")
get_filename_component(ORVANE_SDK_INCLUDE "${CMAKE_CURRENT_LIST_DIR}/../sdk/include" ABSOLUTE)
set(ORVANE_EXPORTS_INC "${ORVANE_SDK_INCLUDE}/orvane/exports.inc")
# Module code has no C runtime, no unwinding and no data tables with code
# addresses: the builder cannot express relocations outside the code block.
# Switch conversion would turn a switch over addresses (literals, routines)
# into such a table in .rdata.
set(ORVANE_MODULE_FLAGS -O2 -ffreestanding -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -fno-omit-frame-pointer -fno-jump-tables -fno-tree-switch-conversion)

function(orvane_module name)
  cmake_parse_arguments(M "" "RUNTIME;OUTPUT;DEV_DIR" "SOURCES" ${ARGN})
  if(NOT M_RUNTIME OR NOT M_OUTPUT OR NOT M_SOURCES)
    message(FATAL_ERROR "orvane_module(${name}): RUNTIME, OUTPUT and SOURCES are required")
  endif()
  if(NOT EXISTS "${ORVANE_MODBUILD}" OR NOT EXISTS "${ORVANE_STAMP}")
    message(FATAL_ERROR "orvane_module(${name}): no host tools in ${ORVANE_HOST_TOOLS_DIR}; build them first:\n"
                        "  cmake -S ${CMAKE_SOURCE_DIR}/tools -B ${ORVANE_HOST_TOOLS_DIR} && "
                        "cmake --build ${ORVANE_HOST_TOOLS_DIR}")
  endif()

  add_library(${name}_objects OBJECT ${M_SOURCES})
  target_include_directories(${name}_objects PRIVATE ${ORVANE_SDK_INCLUDE})
  target_compile_options(${name}_objects PRIVATE ${ORVANE_MODULE_FLAGS})

  set(image "${CMAKE_BINARY_DIR}/${name}.image")
  set(map "${CMAKE_BINARY_DIR}/${name}.map")
  set(dev "")
  set(mkdev "")
  if(M_DEV_DIR)
    set(dev --dev-dir "${M_DEV_DIR}")
    set(mkdev COMMAND ${CMAKE_COMMAND} -E make_directory "${M_DEV_DIR}")
  endif()
  add_custom_command(OUTPUT "${image}" "${map}"
    ${mkdev}
    COMMAND "${ORVANE_MODBUILD}" --exports "${ORVANE_EXPORTS_INC}" --image "${image}" --map "${map}" ${dev}
            "$<TARGET_OBJECTS:${name}_objects>"
    DEPENDS ${name}_objects "$<TARGET_OBJECTS:${name}_objects>" "${ORVANE_EXPORTS_INC}" "${ORVANE_MODBUILD}"
    COMMAND_EXPAND_LISTS VERBATIM
    COMMENT "Building module image ${name}.image")

  set(exe "${CMAKE_BINARY_DIR}/${M_OUTPUT}")
  add_custom_command(OUTPUT "${exe}"
    COMMAND "${ORVANE_STAMP}" "$<TARGET_FILE:${M_RUNTIME}>" "${image}" "${exe}"
    DEPENDS ${M_RUNTIME} "$<TARGET_FILE:${M_RUNTIME}>" "${image}" "${ORVANE_STAMP}"
    VERBATIM
    COMMENT "Stamping ${M_OUTPUT}")
  add_custom_target(${name} ALL DEPENDS "${exe}")
endfunction()
