# cmake -DPROGRAM=path -DLINKS=file -DMODULE=path -DMODULE_LINKS=file -P CheckNoGuiLibrary.cmake
# Fails when almanex-cli needs any Qt library, or when the locale module it loads on a cache miss needs a
# Qt library beyond Qt Core: either in the link graph (LINKS, MODULE_LINKS: one target name a line,
# written at configure time) or as the dynamic loader resolves it (ldd). The second alone would miss a
# library the linker dropped as unused, which may become used with the next change.
cmake_minimum_required(VERSION 3.25)
foreach(file PROGRAM LINKS MODULE MODULE_LINKS)
  if(NOT EXISTS "${${file}}")
    message(FATAL_ERROR "no ${file} at '${${file}}'")
  endif()
endforeach()

set(guiTargets almanex_app almanex_platform almanex_grid almanex_editor Qt6::Gui Qt6::Widgets Qt6::DBus
               Qt6::PrintSupport)
set(guiLibraries libQt6Gui libQt6Widgets libQt6DBus libQt6PrintSupport)

function(libraries_of path result)
  execute_process(COMMAND ldd "${path}" OUTPUT_VARIABLE libraries ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "ldd ${path} failed (${status}): ${errors}")
  endif()
  set(${result} "${libraries}" PARENT_SCOPE)
endfunction()

# The program: no GUI target and no Qt at all, so that a run on a cached locale loads none.
file(STRINGS "${LINKS}" targets)
# The check looks at the right graph only when the cli's own libraries are in it.
if(NOT "almanex_cli_lean" IN_LIST targets OR NOT "almanex_platform_core" IN_LIST targets)
  message(FATAL_ERROR "the link graph shows no almanex_cli_lean or almanex_platform_core: ${targets}")
endif()
foreach(forbidden ${guiTargets} Qt6::Core almanex_platform_locale)
  if(forbidden IN_LIST targets)
    message(FATAL_ERROR "almanex-cli links ${forbidden}; its link graph: ${targets}")
  endif()
endforeach()
libraries_of("${PROGRAM}" libraries)
# libical loads ICU, some 3 M instructions at every start: only almanex-cli-calendar links it. The C++
# library is linked in, and nothing needs the C math library: each shared library costs a start its
# mapping, relocations and page faults.
foreach(forbidden ${guiLibraries} libQt6Core libical libicuuc libm libstdc\\+\\+)
  if(libraries MATCHES "${forbidden}\\.so")
    message(FATAL_ERROR "${PROGRAM} loads ${forbidden}:\n${libraries}")
  endif()
endforeach()
# Nor the C++ streams and the standard locale, which a stream builds (thirty facets) when it is made.
execute_process(COMMAND nm -C "${PROGRAM}" OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm ${PROGRAM} failed (${status})")
endif()
foreach(forbidden "std::ios_base::Init::Init" "std::locale::classic")
  string(FIND "${symbols}" "${forbidden}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} holds ${forbidden}: something brought in the C++ streams or locale")
  endif()
endforeach()

# The module: Qt Core, and nothing of the GUI.
file(STRINGS "${MODULE_LINKS}" moduleTargets)
if(NOT "Qt6::Core" IN_LIST moduleTargets)
  message(FATAL_ERROR "the module's link graph shows no Qt6::Core: ${moduleTargets}")
endif()
foreach(forbidden ${guiTargets})
  if(forbidden IN_LIST moduleTargets)
    message(FATAL_ERROR "the locale module links ${forbidden}; its link graph: ${moduleTargets}")
  endif()
endforeach()
libraries_of("${MODULE}" moduleLibraries)
if(NOT moduleLibraries MATCHES "libQt6Core\\.so")
  message(FATAL_ERROR "ldd shows no libQt6Core for ${MODULE}:\n${moduleLibraries}")
endif()
foreach(forbidden ${guiLibraries})
  if(moduleLibraries MATCHES "${forbidden}\\.so")
    message(FATAL_ERROR "${MODULE} loads ${forbidden}:\n${moduleLibraries}")
  endif()
endforeach()
message(STATUS "almanex-cli loads no Qt library, no libm and no C++ streams; its locale module loads Qt Core alone")
