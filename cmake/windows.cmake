# The Windows build, cross-compiled with MinGW-w64 (cmake/mingw-w64-x86_64.cmake): tk358fw.exe
# (the desktop application) and tk358fw-console.exe (the one to type) linked statically so that
# they run with nothing else installed, and the test programs run under Wine.

# The programs' resources (icon, manifest, version information) are compiled with windres.
enable_language(RC)

# <windows.h> without its rarely used parts and without the min and max macros.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)

# The C and C++ runtimes and the threads library go into the .exe; release programs carry no
# symbols or debug sections.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)

# The programs (CMake targets) that go into the zip and the setup program: the desktop
# application and its console companion (src/app/main).
set(TK358_WINDOWS_PROGRAMS tk358fw tk358fw_console)

# The system clock asks for 1 ms timer resolution (timeBeginPeriod); the ports Windows knows come
# from the Ports device class through SetupAPI.
target_link_libraries(tk358_serial PUBLIC winmm setupapi)

# CLI11 is header-only: its headers come from the build machine, through a folder that holds
# them and nothing else, so that no other header of the build machine reaches this build.
set(TK358_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11's header folder on the build machine")
if(NOT EXISTS ${TK358_CLI11_HEADERS}/CLI.hpp)
    message(FATAL_ERROR "CLI11 not found in ${TK358_CLI11_HEADERS} (install libcli11-dev)")
endif()
set(cli11_include ${PROJECT_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${cli11_include})
file(CREATE_LINK ${TK358_CLI11_HEADERS} ${cli11_include}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11_include})
# find_package(CLI11) finds the target above.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/cli11-config.cmake
    "# CLI11::CLI11 is defined by cmake/windows.cmake\n")

# Wine runs every .exe the build or ctest starts: headless, in a prefix of this build folder
# that is created once (the wine_prefix target) and reused.
find_program(TK358_WINE wine REQUIRED)
set(TK358_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine-run.sh ${TK358_WINE_PREFIX})
# The build's output is a stamp beside the prefix, not a file of the prefix: a clean removes the
# stamp, and the prefix (which wine-run.sh creates only when it is missing) stays whole.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/wine-prefix.stamp
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR}
    COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/wine-prefix.stamp
    COMMENT "Creating the Wine prefix ${TK358_WINE_PREFIX} (once; a minute or more)"
    VERBATIM)
add_custom_target(wine_prefix DEPENDS ${PROJECT_BINARY_DIR}/wine-prefix.stamp)

# GoogleTest built from the sources Debian ships (package googletest), without our warnings;
# it names its targets GTest::gtest, GTest::gmock ... as the installed package does.
if(TK358_TESTS)
    set(TK358_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source folder")
    set(INSTALL_GTEST OFF)
    add_subdirectory(${TK358_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock gmock_main)
        set_property(TARGET ${lib} PROPERTY COMPILE_OPTIONS -w)
    endforeach()
endif()

# The zip and the setup program: the programs and the documents a Windows user needs beside them,
# the README as a Windows user gets it (the Linux parts left out) and the retry procedure (the
# README's section as a file of its own, which tk358fw.exe names after a failed update, as the
# Linux package does).
set(document_script ${PROJECT_SOURCE_DIR}/packaging/document_for_system.cmake)
set(windows_readme ${PROJECT_BINARY_DIR}/README.md)
set(retry_procedure ${PROJECT_BINARY_DIR}/${TK358_RETRY_PROCEDURE_FILE})
add_custom_command(OUTPUT ${windows_readme}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/README.md -DSYSTEM=windows
        -DOUTPUT=${windows_readme} -P ${document_script}
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${document_script}
    VERBATIM)
add_custom_command(OUTPUT ${retry_procedure}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/README.md -DSYSTEM=windows
        -DHEADING=${TK358_RETRY_PROCEDURE_HEADING} -DOUTPUT=${retry_procedure} -P ${document_script}
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${document_script}
    VERBATIM)
set(TK358_WINDOWS_DOCS ${windows_readme} ${retry_procedure})
set(package_name tk358fw-${PROJECT_VERSION}-windows-x86_64)
set(package_dir ${PROJECT_BINARY_DIR}/package/${package_name})
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(program_files "")
foreach(program IN LISTS TK358_WINDOWS_PROGRAMS)
    list(APPEND program_files $<TARGET_FILE:${program}>)
endforeach()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${package_name}.zip
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${program_files} ${TK358_WINDOWS_DOCS} ${package_dir}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${package_name}.zip --format=zip
        ${package_name}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/package
    DEPENDS ${TK358_WINDOWS_PROGRAMS} ${TK358_WINDOWS_DOCS}
    COMMENT "Packing ${package_name}.zip"
    VERBATIM)
add_custom_target(windows_package ALL DEPENDS ${PROJECT_BINARY_DIR}/${package_name}.zip)

# The setup program, made with Debian's NSIS (packaging/windows/setup.nsi): each program of the
# list installed and removed by the macros of programs.nsh.
find_program(TK358_MAKENSIS makensis REQUIRED)
set(setup_name tk358fw-${PROJECT_VERSION}-setup-x86_64.exe)
set(setup_script ${PROJECT_SOURCE_DIR}/packaging/windows/setup.nsi)
set(setup_programs ${PROJECT_BINARY_DIR}/setup/programs.nsh)
set(install_lines "")
set(remove_lines "")
foreach(program IN LISTS TK358_WINDOWS_PROGRAMS)
    string(APPEND install_lines "    File \"$<TARGET_FILE:${program}>\"\n")
    string(APPEND remove_lines "    Delete \"$INSTDIR\\$<TARGET_FILE_NAME:${program}>\"\n")
endforeach()
file(GENERATE OUTPUT ${setup_programs} CONTENT
    "; The programs of TK358_WINDOWS_PROGRAMS (written by cmake/windows.cmake).
!macro InstallPrograms
${install_lines}!macroend
!macro RemovePrograms
${remove_lines}!macroend
")
# (The icon file comes from src/app/win32gui, where its target tk358fw_icon draws it.)
set(setup_icon ${PROJECT_BINARY_DIR}/win32gui/tk358fw.ico)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${setup_name}
    COMMAND ${TK358_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
        -DOUTFILE=${PROJECT_BINARY_DIR}/${setup_name} -DPROGRAMS=${setup_programs}
        -DREADME=${windows_readme} -DRETRY=${retry_procedure} -DICON=${setup_icon} ${setup_script}
    DEPENDS ${TK358_WINDOWS_PROGRAMS} ${TK358_WINDOWS_DOCS} ${setup_script} ${setup_programs}
        ${setup_icon} tk358fw_icon
    COMMENT "Making the setup program ${setup_name}"
    VERBATIM)
add_custom_target(windows_setup ALL DEPENDS ${PROJECT_BINARY_DIR}/${setup_name})
