# almanex_embed_version_block(TARGET target DESCRIPTION text)
# Stamps an executable with its version information: the generator tools/version-block writes a source
# holding the block for version PROJECT_VERSION.ALMANEX_BUILD_NUMBER, which is compiled into the target's
# ELF section ".almanex_version". The executable's name is its InternalName and OriginalFilename.
include_guard(DIRECTORY)

set(ALMANEX_LEGAL_COPYRIGHT "Copyright © 2026 Quorvel. All rights reserved.")

function(almanex_embed_version_block)
  cmake_parse_arguments(ARG "" "TARGET;DESCRIPTION" "" ${ARGN})
  if(NOT ALMANEX_BUILD_NUMBER MATCHES "^[0-9]+$" OR ALMANEX_BUILD_NUMBER GREATER 65535)
    message(FATAL_ERROR "ALMANEX_BUILD_NUMBER must be a number from 0 to 65535, not '${ALMANEX_BUILD_NUMBER}'")
  endif()
  foreach(part IN ITEMS ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH})
    if(NOT part MATCHES "^[0-9]+$" OR part GREATER 65535)
      message(FATAL_ERROR "the project version ${PROJECT_VERSION} needs three numbers from 0 to 65535")
    endif()
  endforeach()
  set(version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${ALMANEX_BUILD_NUMBER}")
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${ARG_TARGET}-version-block.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND almanex-version-block "${output}" "${version}"
      "CompanyName=Quorvel"
      "FileDescription=${ARG_DESCRIPTION}"
      "FileVersion=${version}"
      "InternalName=${ARG_TARGET}"
      "LegalCopyright=${ALMANEX_LEGAL_COPYRIGHT}"
      "OriginalFilename=${ARG_TARGET}"
      "ProductName=Almanex"
      "ProductVersion=${version}"
    DEPENDS almanex-version-block
    COMMENT "Version block ${version} for ${ARG_TARGET}"
    VERBATIM)
  target_sources(${ARG_TARGET} PRIVATE "${output}")
endfunction()
