# The Debian package of an install: `cpack -G DEB` in the build folder (scripts/package.sh).
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR "the Varnel developers")
set(CPACK_PACKAGE_CONTACT "${VARNEL_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio CD player with a song list per disc")
set(CPACK_PACKAGE_INSTALL_DIRECTORY varnel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Computed from the libraries the program is linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its Wayland plugin at run time: a session without an X server needs it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_PACKAGE_DESCRIPTION "Varnel plays audio CDs from the computer's drives, and CD images in the
cue, toc and nrg formats. Its one window shows the disc with its composer,
album and one row per track with title and playing time; buttons play,
pause, resume, stop and eject, and a slider moves within the track.

Titles are typed once per disc and kept in a small text file, so they are
shown whenever that disc is back. A demo disc comes with it, so it can be
tried without a CD drive.")
include(CPack)
