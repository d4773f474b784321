# Version information (the block the build writes, read back from ELF files), the almanex-cli --version
# line, opening links, and the about box.
include(${PROJECT_SOURCE_DIR}/cmake/AlmanexVersionBlock.cmake)
almanex_add_test(NAME test_verinfo
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/VersionTestSupport.h
    ${CMAKE_CURRENT_LIST_DIR}/VerInfoTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ShellTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AboutFormTest.cpp
  LIBRARIES almanex::platform almanex::versionblock almanex::cli Qt6::Test)
add_dependencies(test_verinfo almanex-cli)
target_compile_definitions(test_verinfo PRIVATE
  ALMANEX_CLI_PATH="$<TARGET_FILE:almanex-cli>"
  ALMANEX_EXPECTED_FILE_VERSION="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}"
  ALMANEX_EXPECTED_BUILD_NUMBER="${ALMANEX_BUILD_NUMBER}"
  ALMANEX_EXPECTED_FULL_VERSION="${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${ALMANEX_BUILD_NUMBER}"
  ALMANEX_EXPECTED_COPYRIGHT="${ALMANEX_LEGAL_COPYRIGHT}")
