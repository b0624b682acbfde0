# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags, as dpkg-buildflags gives them with every
# hardening feature on (fortified functions, stack protector, read-only
# relocations bound at start, position-independent programs), for the
# optimised build that the package is made from. The sanitizer, fuzz and
# debug builds keep their own flags: fortification needs optimisation and
# gets in the sanitizers' way. The linker flags hold in every build.
find_program(KRT_DPKG_BUILDFLAGS dpkg-buildflags)
option(KRT_DEBIAN_FLAGS "Use Debian's hardening flags (dpkg-buildflags)" ON)
if(KRT_DEBIAN_FLAGS AND KRT_DPKG_BUILDFLAGS)
  function(krt_buildflag name out)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${KRT_DPKG_BUILDFLAGS} --get ${name}
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE _flags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    set(${out} "${_flags}" PARENT_SCOPE)
  endfunction()
  krt_buildflag(LDFLAGS _ldflags)
  string(APPEND CMAKE_EXE_LINKER_FLAGS " ${_ldflags}")
  string(TOUPPER "${CMAKE_BUILD_TYPE}" _type)
  if(NOT KRT_SANITIZE AND NOT KRT_TSAN AND NOT KRT_FUZZ AND _type MATCHES "^(RELEASE|RELWITHDEBINFO|MINSIZEREL)$")
    krt_buildflag(CPPFLAGS _cppflags)
    krt_buildflag(CXXFLAGS _cxxflags)
    # The optimisation and debug level stay the build type's.
    string(REGEX REPLACE "(^| )-(O[0-9s]|g)( |$)" " " _cxxflags "${_cxxflags}")
    string(REGEX REPLACE "(^| )-(O[0-9s]|g)( |$)" " " _cxxflags "${_cxxflags}")
    string(APPEND CMAKE_CXX_FLAGS " ${_cppflags} ${_cxxflags}")
  endif()
endif()
