# Installs the SDK that cmake/sdk.cmake describes.
include(CMakePackageConfigHelpers)
set(VANTEL_SDK_VERSION 1.0.0)
write_basic_package_version_file(${VANTEL_SDK_STAGE}/VantelConfigVersion.cmake
                                 VERSION ${VANTEL_SDK_VERSION} COMPATIBILITY SameMajorVersion)

install(DIRECTORY ${VANTEL_SDK_STAGE}/include/ DESTINATION include)
install(TARGETS Vantel10 VantelFx VantelPlatform Parlance10 run host QORRIGHT
        RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES ${VANTEL_RUNTIME_DLLS} DESTINATION bin)
install(FILES ${VANTEL_FX_DELAYLIB} DESTINATION lib)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/VantelConfig.cmake ${VANTEL_SDK_STAGE}/VantelConfigVersion.cmake
        DESTINATION lib/cmake/Vantel)
