# What a vendor ships of a DLL, made by every build: the image in bin/ stripped of its DWARF
# sections and symbols (the library reads its own debug-information resource, embedded before the
# strip; strip recomputes the PE checksum), a version resource of the project's version, and import
# libraries made from its .def: lib<name>.dll.a for MinGW and <name>.lib (the short COFF import
# format) for other toolchains' linkers. The image as linked, with its DWARF, stays in unstripped/
# for what compares the code with GNU objdump and addr2line. `cmake --install` puts the shipped
# files, the public headers and the README's usage sections into one folder.
enable_language(RC) # the version resources
find_program(CONDUVEX_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
set(CONDUVEX_SHIPPED_TEMPLATES ${CMAKE_CURRENT_LIST_DIR})
set(CONDUVEX_UNSTRIPPED_DIR ${CMAKE_BINARY_DIR}/unstripped)
set(CONDUVEX_IMPORT_DIR ${CMAKE_BINARY_DIR}/import)

# The import .def: each export under the name a caller's compiler gives the header's declaration
# ("ciOpen@4" for the export "ciOpen = ciOpen@4 @43"); dlltool -k imports it by the plain name.
function(conduvex_import_definitions out_file def)
    file(READ ${def} text)
    string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)[ \t]*=[ \t]*[A-Za-z_][A-Za-z0-9_]*(@[0-9]+|)" "\\1\\2" text
                         "${text}")
    file(WRITE ${out_file} "${text}")
endfunction()

# Version resource, strip, import libraries and install rules of a DLL target whose .def is `def`.
function(conduvex_shipped_library target def header description)
    get_target_property(NAME ${target} OUTPUT_NAME)
    set(DESCRIPTION ${description})
    set(VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${NAME}.version.rc)
    configure_file(${CONDUVEX_SHIPPED_TEMPLATES}/VersionInfo.rc.in ${script} @ONLY)
    # Apart from the target: the resource compiler takes none of the C++ warning options.
    add_library(${target}_version OBJECT ${script})
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${target}_version>)

    set(imports ${CONDUVEX_IMPORT_DIR}/${NAME}.def)
    set(mingw_library ${CONDUVEX_IMPORT_DIR}/lib${NAME}.dll.a)
    set(coff_library ${CONDUVEX_IMPORT_DIR}/${NAME}.lib)
    conduvex_import_definitions(${imports} ${def})
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(machine i386:x86-64)
    else()
        set(machine i386)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${CONDUVEX_UNSTRIPPED_DIR}
                       COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${CONDUVEX_UNSTRIPPED_DIR}
                       COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
                       COMMAND ${CMAKE_DLLTOOL} -k -d ${imports} -D ${NAME}.dll -l ${mingw_library}
                       COMMAND ${CONDUVEX_LLVM_DLLTOOL} -k -m ${machine} -d ${imports} -D ${NAME}.dll -l ${coff_library}
                       COMMENT "Stripping ${NAME}.dll (the linked image kept in unstripped/) and its import libraries"
                       VERBATIM)

    install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION bin)
    install(FILES ${mingw_library} ${coff_library} DESTINATION lib)
    install(FILES ${header} DESTINATION include)
    # For the shipped-folder test: the libraries and the .def files their exports are checked against.
    set_property(GLOBAL APPEND PROPERTY CONDUVEX_SHIPPED_LIBRARIES "${NAME}=${def}")
endfunction()

install(CODE "set(CONDUVEX_README \"${PROJECT_SOURCE_DIR}/README.md\")
              include(\"${CMAKE_CURRENT_LIST_DIR}/UsageText.cmake\")")
