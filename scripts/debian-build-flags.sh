# Sourced by the build scripts: Debian's compiler and linker hardening flags
# (dpkg-buildflags, all of them, immediate binding included), exported for
# CMake, which reads them once, when a build folder is first configured. The
# suite's build and the package's use the same flags, so the package test can
# package the build the suite ran.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS
