# `make package`: a Debian package of what `cmake --install` puts in place
# (the program, its manual page, the libraries, the headers, the CMake and
# pkg-config files), installed under /usr. The install rules decide what is
# in it: tests, benchmarks, examples and the sample video have none.
set(KAPLO_PACKAGE_MAINTAINER "KAPLO maintainers <kaplo@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kaplo)
set(CPACK_PACKAGE_VENDOR KAPLO)
set(CPACK_PACKAGE_CONTACT ${KAPLO_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "2D to 3D video converter, and windows for plain C++ programs")
set(CPACK_PACKAGE_DESCRIPTION
    "kaplo-depth plays a video as a depth map and a stereo pair, and converts
videos (one, or whole folders) to 3D files: side by side, half side by side,
top and bottom, anaglyph or the depth map, in AVI, MP4, Matroska or
QuickTime files with Motion JPEG, MPEG-4, H.264 or H.265 video, with the
sound kept. See kaplo-depth(1).

KAPLO, the framework it is written with, gives a plain sequential C++
program text windows, image windows over pixel buffers, an input box and a
button box on Qt 5. Its static libraries, headers, CMake package
(find_package(kaplo)) and pkg-config file are included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # the program; static libraries are never stripped
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # kaplo_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The program's shared libraries (FFmpeg, OpenCV, Qt, ...), as dpkg-shlibdeps
# finds them in the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Building a program of one's own against the static libraries needs what
# their CMake package and kaplo.pc ask for: Qt's Widgets and X11Extras, xcb
# and libgif, found through pkg-config. The program itself needs none of it,
# so these are recommended (apt installs them by default) rather than
# required. So are the fonts the windows draw text in and the TIFF and other
# picture formats of Qt's plug-ins.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qtbase5-dev, libqt5x11extras5-dev, libxcb1-dev, libgif-dev, pkg-config, qt5-image-formats-plugins, fonts-unifont, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "g++, cmake, ffmpeg")

include(CPack)
