# The DLLs carry their own debug information as the resource "ZEL"/"EXCEPT". It is written from
# a first link of the DLL (functions from nm, units and lines from the DWARF line table) and
# embedded by a second link of the same objects plus the resource; the code of the two links
# must be byte-identical. The linker picks a DLL's image base from its output path, so the
# second link is given the base of the first.
#
# REDUCED_WITH_SETTINGS <settings source>: the resource holds reduced debug information (no
# names, no lines) and the full data goes to <name>.zel beside the DLL; the second link carries,
# instead of the settings resource of crashreport_start, one made of the given source with the
# "MinDebugInfo" entry that names the ".zel" data (that source: the target's property
# CRASHKIT_SETTINGS_SOURCE).
set(CRASHKIT_DEBUGINFO_TOOLS ${CMAKE_CURRENT_LIST_DIR})
set(CRASHKIT_SETTINGS_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/../settings/make_settings_resource.py)

function(crashkit_embed_debug_info target)
    cmake_parse_arguments(ARG "" "REDUCED_WITH_SETTINGS" "" ${ARGN})
    find_program(CRASHKIT_PYTHON3 python3 REQUIRED)
    set(stage ${target}_without_debuginfo)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/debuginfo)
    get_target_property(name ${target} OUTPUT_NAME)
    foreach(property IN ITEMS SOURCES LINK_LIBRARIES LINK_OPTIONS COMPILE_OPTIONS)
        get_target_property(${property} ${target} ${property})
    endforeach()

    add_library(${stage} SHARED ${SOURCES})
    target_link_libraries(${stage} PRIVATE ${LINK_LIBRARIES})
    if(LINK_OPTIONS)
        target_link_options(${stage} PRIVATE ${LINK_OPTIONS})
    endif()
    if(COMPILE_OPTIONS)
        target_compile_options(${stage} PRIVATE ${COMPILE_OPTIONS})
    endif()
    # Not in bin/: the first link is only read.
    set_target_properties(${stage} PROPERTIES PREFIX "" OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${folder}
                          LIBRARY_OUTPUT_DIRECTORY ${folder} ARCHIVE_OUTPUT_DIRECTORY ${folder})

    set(data ${folder}/${name}.debuginfo)
    set(script ${folder}/${name}.debuginfo.rc)
    set(object ${folder}/${name}.debuginfo.o)
    set(base ${folder}/${name}.imagebase.rsp)
    set(reduced_options)
    set(reduced_outputs)
    set(settings_commands)
    set(settings_depends)
    if(ARG_REDUCED_WITH_SETTINGS)
        set(zel ${folder}/${name}.zel)
        set(settings_source ${folder}/${name}.settings.txt)
        set(settings ${folder}/${name}.settings.bin)
        set(settings_object ${folder}/${name}.settings.o)
        file(WRITE ${folder}/${name}.settings.rc "TZELEXCEPT RCDATA \"${settings}\"\n")
        set(reduced_options --reduced ${zel} --settings ${ARG_REDUCED_WITH_SETTINGS} ${settings_source})
        set(reduced_outputs ${zel} ${settings_source} ${settings_object})
        set(settings_commands
            COMMAND ${CRASHKIT_PYTHON3} ${CRASHKIT_SETTINGS_GENERATOR} ${settings_source} ${settings}
            COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${folder}/${name}.settings.rc -o ${settings_object})
        set(settings_depends ${ARG_REDUCED_WITH_SETTINGS} ${CRASHKIT_SETTINGS_GENERATOR})
    endif()
    add_custom_command(OUTPUT ${object} ${base} ${reduced_outputs}
                       COMMAND ${CRASHKIT_PYTHON3} ${CRASHKIT_DEBUGINFO_TOOLS}/make_debuginfo.py --nm ${CMAKE_NM}
                               --objdump ${CMAKE_OBJDUMP} --rc ${script} --base-options ${base} ${reduced_options}
                               $<TARGET_FILE:${stage}> ${data}
                       COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${script} -o ${object}
                       ${settings_commands}
                       DEPENDS ${stage} ${CRASHKIT_DEBUGINFO_TOOLS}/make_debuginfo.py
                               ${CRASHKIT_DEBUGINFO_TOOLS}/blowfish.py ${CRASHKIT_DEBUGINFO_TOOLS}/pe_file.py
                               ${settings_depends}
                       COMMENT "Debug information of ${name}" VERBATIM)
    set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    target_sources(${target} PRIVATE ${object})
    if(ARG_REDUCED_WITH_SETTINGS)
        set_source_files_properties(${settings_object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
        target_sources(${target} PRIVATE ${settings_object})
        set_target_properties(${target} PROPERTIES CRASHREPORT_OWN_SETTINGS_RESOURCE TRUE
                              CRASHKIT_SETTINGS_SOURCE ${settings_source})
        add_custom_command(TARGET ${target} POST_BUILD
                           COMMAND ${CMAKE_COMMAND} -E copy ${zel} $<TARGET_FILE_DIR:${target}>
                           VERBATIM)
    endif()
    target_link_options(${target} PRIVATE @${base})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${base})
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CRASHKIT_PYTHON3} ${CRASHKIT_DEBUGINFO_TOOLS}/check_text.py $<TARGET_FILE:${stage}>
                               $<TARGET_FILE:${target}>
                       VERBATIM)
endfunction()
