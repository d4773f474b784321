# cmake -DPROGRAM=path -DLINKS=file -P CheckNoGuiLibrary.cmake
# Fails when the program needs a Qt library beyond Qt Core, either in its link graph (LINKS: one target
# name a line, written at configure time) or as the dynamic loader resolves it (ldd). The second alone
# would miss a library the linker dropped as unused, which may become used with the next change.
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${PROGRAM}" OR NOT EXISTS "${LINKS}")
  message(FATAL_ERROR "no program at '${PROGRAM}' or no link list at '${LINKS}'")
endif()

file(STRINGS "${LINKS}" targets)
# Qt Core must be there in both: otherwise the check looks at the wrong thing and proves nothing.
if(NOT "Qt6::Core" IN_LIST targets)
  message(FATAL_ERROR "the link graph shows no Qt6::Core: ${targets}")
endif()
foreach(forbidden almanex_app almanex_platform almanex_grid almanex_editor Qt6::Gui Qt6::Widgets Qt6::DBus
                  Qt6::PrintSupport)
  if(forbidden IN_LIST targets)
    message(FATAL_ERROR "almanex-cli links ${forbidden}; its link graph: ${targets}")
  endif()
endforeach()

execute_process(COMMAND ldd "${PROGRAM}" OUTPUT_VARIABLE libraries ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed (${status}): ${errors}")
endif()
if(NOT libraries MATCHES "libQt6Core\\.so")
  message(FATAL_ERROR "ldd shows no libQt6Core for ${PROGRAM}:\n${libraries}")
endif()
foreach(forbidden libQt6Gui libQt6Widgets libQt6DBus libQt6PrintSupport)
  if(libraries MATCHES "${forbidden}\\.so")
    message(FATAL_ERROR "${PROGRAM} loads ${forbidden}:\n${libraries}")
  endif()
endforeach()
message(STATUS "almanex-cli links and loads no Qt library beyond Qt Core")
