# Installing KORU32 (cmake --install <build> [--prefix P]):
#
#   P/lib/libkoru32.so.1.0.0, libkoru32.so.1, libkoru32.so
#   P/include/koru32.h, koru32_result_codes.h
#   P/lib/cmake/koru32/       koru32Config.cmake and friends: find_package(koru32)
#   P/lib/pkgconfig/koru32.pc
#   P/bin/koru                with the front end
#   P/share/koru32/data/      the bundled data sets, found by `koru demo`
#   P/share/doc/koru32/       README
#   P/lib/python3/dist-packages/koru32/  with the Python package (KORU32_BUILD_PYTHON)
#
# Every installed file refers to the others by relative paths, so an
# installed tree can be moved, and the Debian package (cpack -G DEB in the
# build tree) holds the same files under /usr.
include(CMakePackageConfigHelpers)

set(KORU32_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/koru32)

install(TARGETS koru32 EXPORT koru32Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/include/koru32.h
  ${PROJECT_SOURCE_DIR}/include/koru32_result_codes.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The CMake package: koru32::koru32, with a version file that accepts any
# request of the same major version.
install(EXPORT koru32Targets NAMESPACE koru32:: DESTINATION ${KORU32_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/koru32Config.cmake.in
  ${PROJECT_BINARY_DIR}/koru32Config.cmake
  INSTALL_DESTINATION ${KORU32_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/koru32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/koru32Config.cmake
  ${PROJECT_BINARY_DIR}/koru32ConfigVersion.cmake
  DESTINATION ${KORU32_CMAKE_DIR})

# koru32.pc finds the prefix from its own place (pkg-config's ${pcfiledir}),
# so it is right wherever the tree was installed.
set(KORU32_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH KORU32_PC_TO_PREFIX /prefix/${KORU32_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" KORU32_PC_TO_PREFIX "${KORU32_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/koru32.pc.in ${PROJECT_BINARY_DIR}/koru32.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/koru32.pc DESTINATION ${KORU32_PKGCONFIG_DIR})

if(TARGET koru)
  install(TARGETS koru RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES
    ${PROJECT_SOURCE_DIR}/data/iris.csv
    ${PROJECT_SOURCE_DIR}/data/diabetes.csv
    ${PROJECT_SOURCE_DIR}/data/README.md
    DESTINATION ${KORU32_DATA_DIR})
endif()

# The repository has no licence file to ship; the README goes with the package.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package, one for everything: library, header, CMake and
# pkg-config files, and koru with its data. dpkg-shlibdeps works out the
# runtime dependencies; the package's shlibs file lets other packages depend
# on libkoru32.so.1 in turn. Only a top-level build sets it up, so that a
# project that pulls the library in keeps its own packaging.
if(PROJECT_IS_TOP_LEVEL AND NOT WIN32)
  set(CPACK_PACKAGE_NAME koru32)
  set(CPACK_PACKAGE_VENDOR "KORU32")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "neural-network engine library (backpropagation, PNN, GRNN, LVQ) and its koru program")
  set(CPACK_PACKAGE_DESCRIPTION
      "KORU32 builds, trains, saves and restores neural networks through a flat C interface:\n"
      "backpropagation, probabilistic and general regression nets, and learning vector\n"
      "quantisation, in 32-bit floats or 8.24 fixed point. The package holds the shared\n"
      "library, its header, CMake and pkg-config files, the koru command-line program and,\n"
      "when built with it, the koru32 Python package of scikit-learn estimators.")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KORU32 developers <koru32@invalid>" CACHE STRING
      "Maintainer field of the Debian package")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_STRIP_FILES ON)
  if(KORU32_BUILD_PYTHON)
    # The Python package imports numpy and scikit-learn; the C library and
    # koru need neither, so they are recommended rather than required.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy, python3-sklearn")
  endif()
  set(CPACK_GENERATOR DEB)
  set(CPACK_SOURCE_GENERATOR "")
  include(CPack)
endif()
