# The public SDK: what a host developer outside the project builds against.
#   <prefix>/include/vantel/vantel.h and every header it reaches, in their folders
#   <prefix>/lib/    import libraries (libVantel10.dll.a, libVantelPlatform.dll.a,
#                    libVantelFx.dll.a, libVantelFx.delay.a) and cmake/Vantel/
#   <prefix>/bin/    the DLLs (with the MinGW runtime DLLs they need) and the programs
# The headers are staged in the build tree as they are installed, and the launcher is compiled
# against that staging folder alone: what it needs, a host gets.

set(VANTEL_SDK_STAGE ${CMAKE_BINARY_DIR}/sdk)

# The headers a header reaches through #include "..." (resolved against the source tree), itself
# included, as paths relative to the source tree.
function(vantel_header_closure out header)
  set(todo ${header})
  set(done)
  while(todo)
    list(POP_FRONT todo current)
    if(current IN_LIST done)
      continue()
    endif()
    list(APPEND done ${current})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${current} lines REGEX "^#include \"[^\"]+\"")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      if(EXISTS ${CMAKE_SOURCE_DIR}/${included})
        list(APPEND todo ${included})
      else()
        message(FATAL_ERROR "${current} includes ${included}, which is not in the source tree")
      endif()
    endforeach()
  endwhile()
  set(${out} ${done} PARENT_SCOPE)
endfunction()

vantel_header_closure(VANTEL_PUBLIC_HEADERS exports/vantel.h)
list(REMOVE_ITEM VANTEL_PUBLIC_HEADERS exports/vantel.h)
configure_file(${CMAKE_SOURCE_DIR}/exports/vantel.h ${VANTEL_SDK_STAGE}/include/vantel/vantel.h COPYONLY)
foreach(header ${VANTEL_PUBLIC_HEADERS})
  configure_file(${CMAKE_SOURCE_DIR}/${header} ${VANTEL_SDK_STAGE}/include/vantel/${header} COPYONLY)
endforeach()

# In-tree users of the SDK (the launcher, the host program): the staged headers and nothing else
# of the source; Vantel::Vantel as find_package(Vantel) gives it to a project outside.
add_library(vantel_sdk_headers INTERFACE)
target_include_directories(vantel_sdk_headers INTERFACE ${VANTEL_SDK_STAGE}/include
                                                         ${VANTEL_SDK_STAGE}/include/vantel)
add_library(vantel_sdk INTERFACE)
# The import libraries as files: the DLL targets would bring the source tree's include folder.
target_link_libraries(vantel_sdk INTERFACE vantel_sdk_headers $<TARGET_LINKER_FILE:Vantel10>
                      $<TARGET_LINKER_FILE:VantelPlatform> $<TARGET_LINKER_FILE:VantelFx>)
add_dependencies(vantel_sdk Vantel10 VantelPlatform VantelFx)
add_library(Vantel::Vantel ALIAS vantel_sdk)

# The installed SDK (after the programs are defined): cmake/sdk_install.cmake.

