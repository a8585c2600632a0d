# find_package(Vantel) for a MinGW (i686) project: the imported targets of the installed SDK.
#   Vantel::Fx        VantelFx.dll        the framework (CString, collections, module state)
#   Vantel::Platform  VantelPlatform.dll  the platform's document tree and services
#   Vantel::Runtime   Vantel10.dll        the runtime's plain exports and exported classes
#   Vantel::Vantel    all three, with the include folders for #include <vantel/vantel.h>
# VANTEL_BIN_DIR is the folder of the DLLs (and of run.exe and QORRIGHT.exe): a host finds them
# there or beside itself. A program linked with these targets links the C++ runtime in and uses
# the shared unwinder of bin/ (libgcc_s_dw2-1.dll), as the platform's DLLs do, so that exceptions
# pass between it and them.
get_filename_component(_vantel_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(VANTEL_BIN_DIR "${_vantel_prefix}/bin")
set(VANTEL_INCLUDE_DIR "${_vantel_prefix}/include")

foreach(_vantel_part Fx:VantelFx Platform:VantelPlatform Runtime:Vantel10)
  string(REPLACE ":" ";" _vantel_pair "${_vantel_part}")
  list(GET _vantel_pair 0 _vantel_target)
  list(GET _vantel_pair 1 _vantel_dll)
  if(NOT TARGET Vantel::${_vantel_target})
    add_library(Vantel::${_vantel_target} SHARED IMPORTED)
    set_target_properties(Vantel::${_vantel_target} PROPERTIES
      IMPORTED_LOCATION "${_vantel_prefix}/bin/${_vantel_dll}.dll"
      IMPORTED_IMPLIB "${_vantel_prefix}/lib/lib${_vantel_dll}.dll.a"
      INTERFACE_INCLUDE_DIRECTORIES "${VANTEL_INCLUDE_DIR};${VANTEL_INCLUDE_DIR}/vantel"
      INTERFACE_LINK_OPTIONS "-static-libstdc++;-shared-libgcc")
  endif()
endforeach()

if(NOT TARGET Vantel::Vantel)
  add_library(Vantel::Vantel INTERFACE IMPORTED)
  set_target_properties(Vantel::Vantel PROPERTIES
    INTERFACE_LINK_LIBRARIES "Vantel::Runtime;Vantel::Platform;Vantel::Fx")
endif()
unset(_vantel_prefix)
unset(_vantel_part)
unset(_vantel_pair)
unset(_vantel_target)
unset(_vantel_dll)
