# Collects the .cpp files of the given folders (not recursive: one class or concern per file pair
# lives directly in its folder).
function(vantel_collect_sources out)
  set(all)
  foreach(dir ${ARGN})
    file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND all ${files})
  endforeach()
  list(FILTER all EXCLUDE REGEX "/exports/dll_main\\.cpp$")
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Win32 libraries every part of the product may call.
set(VANTEL_SYSTEM_LIBS shlwapi shell32 ole32 oleaut32 uuid advapi32 user32 gdi32
    crypt32 wininet version -l:libz.a)

# For a module that runs away from the platform's DLLs (the launcher in a tool's folder, test
# fixtures copied into scratch folders): the unwinder and the thread library are linked in too,
# so it needs nothing but system DLLs. Such a module never lets an exception cross into another.
function(vantel_standalone target)
  target_link_options(${target} PRIVATE -static -static-libgcc)
endfunction()
