# Release builds (the packages') get Debian's default hardening as dpkg-buildflags gives it
# (stack protector, fortified libc calls, format checks, read-only relocations; position-
# independent executables are the compiler's default), immediate binding, stack clash and
# control-flow protection, and dpkg-buildflags' mapping of the source folder to "." so that the
# programs do not depend on where the tree lies. The build type keeps its own optimisation and
# debugging flags. Without dpkg-buildflags (not a Debian system) the same set is given by hand.
find_program(TK358_DPKG_BUILDFLAGS dpkg-buildflags)
if(TK358_DPKG_BUILDFLAGS)
    set(hardening_compile)
    foreach(kind CPPFLAGS CXXFLAGS)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
                                ${TK358_DPKG_BUILDFLAGS} --get ${kind}
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                        COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(APPEND hardening_compile ${flags})
    endforeach()
    list(FILTER hardening_compile EXCLUDE REGEX "^-(g|O)")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
                            ${TK358_DPKG_BUILDFLAGS} --get LDFLAGS
                    OUTPUT_VARIABLE hardening_link OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(hardening_link UNIX_COMMAND "${hardening_link}")
else()
    set(hardening_compile -Wdate-time -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat
                          -Werror=format-security -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
    set(hardening_link -Wl,-z,relro -Wl,-z,now)
endif()
# What hardening-check also looks for and newer dpkg-buildflags give on amd64: stack clash
# protection and control-flow protection (the compiler's, where it has them). The programs carry
# the latter's marking only where the C library's start files have it too (not on Debian 12).
include(CheckCXXCompilerFlag)
foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "TK358_HAS${flag}" has_flag)
    check_cxx_compiler_flag(${flag} ${has_flag})
    if(${has_flag} AND NOT flag IN_LIST hardening_compile)
        list(APPEND hardening_compile ${flag})
    endif()
endforeach()
foreach(flag ${hardening_compile})
    add_compile_options($<$<CONFIG:Release>:${flag}>)
endforeach()
foreach(flag ${hardening_link})
    add_link_options($<$<CONFIG:Release>:${flag}>)
endforeach()
