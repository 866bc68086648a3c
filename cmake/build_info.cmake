# What the programs know about their own build, in two generated headers: generated/version.hpp
# (the version they print; it changes with every commit, so few files include it) and
# generated/install_layout.hpp (where the installed documents lie relative to the programs).
#
# The version is the project's, followed by the git revision when the source is a git checkout of
# its own (a source tree unpacked inside some other repository is not). The revision is read when
# CMake configures; a commit or a checkout makes the build configure again.

set(TK358_VERSION_TEXT "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE checkout_top RESULT_VARIABLE not_a_checkout
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT not_a_checkout)
        file(REAL_PATH "${checkout_top}" checkout_top)
        file(REAL_PATH "${PROJECT_SOURCE_DIR}" source_top)
    endif()
    if(NOT not_a_checkout AND checkout_top STREQUAL source_top)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=12 HEAD
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE revision RESULT_VARIABLE no_revision
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT no_revision AND revision)
            string(APPEND TK358_VERSION_TEXT " (git ${revision})")
        endif()
        # Configure again when HEAD moves: HEAD itself, and the branch it names while that is a
        # file of its own (a packed branch is written out as a file when it next moves).
        execute_process(COMMAND ${GIT_EXECUTABLE} symbolic-ref -q HEAD
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE branch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        foreach(name HEAD ${branch})
            execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
                                    --git-path ${name}
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                            OUTPUT_VARIABLE git_file OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            if(git_file AND EXISTS "${git_file}")
                set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
                             CMAKE_CONFIGURE_DEPENDS "${git_file}")
            endif()
        endforeach()
    endif()
endif()

# The documents' folder as seen from the programs' folder, e.g. ../share/doc/tk358fw: the same
# under any installation prefix. The Windows zip holds them beside the program.
if(WIN32)
    set(TK358_DOCDIR_FROM_BINDIR .)
else()
    file(RELATIVE_PATH TK358_DOCDIR_FROM_BINDIR "/prefix/${CMAKE_INSTALL_BINDIR}"
         "/prefix/${CMAKE_INSTALL_DOCDIR}")
endif()

# The installed file that holds the retry procedure after a failed update: the README's section
# of this heading.
set(TK358_RETRY_PROCEDURE_FILE retry-procedure.md)
set(TK358_RETRY_PROCEDURE_HEADING "If an update fails: the retry procedure")

configure_file(${CMAKE_CURRENT_LIST_DIR}/version.hpp.in ${PROJECT_BINARY_DIR}/generated/version.hpp
               @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/install_layout.hpp.in
               ${PROJECT_BINARY_DIR}/generated/install_layout.hpp @ONLY)
add_library(tk358_build_info INTERFACE)
target_include_directories(tk358_build_info INTERFACE ${PROJECT_BINARY_DIR})
