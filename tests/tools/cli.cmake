almanex_add_test(NAME test_cli SOURCES ${CMAKE_CURRENT_LIST_DIR}/CliTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CliNextTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CliDueTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CliReportTest.cpp LIBRARIES almanex::cli)
target_compile_definitions(test_cli PRIVATE ALMANEX_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")

# Every target almanex-cli links, directly or through the libraries it links, as the configure step
# sees them (the graph `cmake --graphviz` draws). Generator expressions other than $<LINK_ONLY:...> are
# left out; none of ours chooses a library by configuration.
function(almanex_link_closure target result)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue item)
    if(item MATCHES "^\\$<LINK_ONLY:(.+)>$")
      set(item "${CMAKE_MATCH_1}")
    endif()
    if(item MATCHES "^\\$<" OR NOT TARGET ${item})
      continue()
    endif()
    get_target_property(aliased ${item} ALIASED_TARGET)
    if(aliased)
      set(item ${aliased})
    endif()
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(links ${item} ${property})
      if(links)
        list(APPEND queue ${links})
      endif()
    endforeach()
  endwhile()
  set(${result} "${seen}" PARENT_SCOPE)
endfunction()
almanex_link_closure(almanex-cli cliLinks)
set(cliLinksFile "${CMAKE_CURRENT_BINARY_DIR}/almanex-cli-links.txt")
string(REPLACE ";" "\n" cliLinksText "${cliLinks}")
file(WRITE "${cliLinksFile}" "${cliLinksText}\n")

# Neither the link graph nor the built almanex-cli holds the main window's library, Qt Gui or Qt Widgets.
add_test(NAME CliLinksNoGuiLibrary
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:almanex-cli> -DLINKS=${cliLinksFile}
          -P ${CMAKE_CURRENT_LIST_DIR}/CheckNoGuiLibrary.cmake)
set_tests_properties(CliLinksNoGuiLibrary PROPERTIES ENVIRONMENT "LC_ALL=C")
