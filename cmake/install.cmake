# Installation: the library, its main(), the public headers, a CMake package
# (find_package(kaplo CONFIG)) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(KAPLO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kaplo)

install(TARGETS kaplo kaplo_main EXPORT kaplo-targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The public headers: everything in include/, and nothing else.
install(FILES ${KAPLO_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT kaplo-targets NAMESPACE kaplo:: DESTINATION ${KAPLO_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kaplo-config.cmake.in
                              ${PROJECT_BINARY_DIR}/kaplo-config.cmake
                              INSTALL_DESTINATION ${KAPLO_CMAKE_DIR})
# Before 1.0 a minor version may change the calls, so only the same minor
# version answers a request.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kaplo-config-version.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kaplo-config.cmake
              ${PROJECT_BINARY_DIR}/kaplo-config-version.cmake
              ${PROJECT_SOURCE_DIR}/cmake/kaplo-program.cmake
        DESTINATION ${KAPLO_CMAKE_DIR})

# The prefix is found from where the file lies, so an install made with
# `cmake --install --prefix` anywhere works without changes.
file(RELATIVE_PATH KAPLO_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kaplo.pc.in ${PROJECT_BINARY_DIR}/kaplo.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kaplo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
