# The DLLs carry their own debug information as the resource "ZEL"/"EXCEPT". It is written from
# a first link of the DLL (functions from nm, units and lines from the DWARF line table) and
# embedded by a second link of the same objects plus the resource; the code of the two links
# must be byte-identical. The linker picks a DLL's image base from its output path, so the
# second link is given the base of the first.
set(CRASHKIT_DEBUGINFO_TOOLS ${CMAKE_CURRENT_LIST_DIR})

function(crashkit_embed_debug_info target)
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
    add_custom_command(OUTPUT ${object} ${base}
                       COMMAND ${CRASHKIT_PYTHON3} ${CRASHKIT_DEBUGINFO_TOOLS}/make_debuginfo.py --nm ${CMAKE_NM}
                               --objdump ${CMAKE_OBJDUMP} --rc ${script} --base-options ${base}
                               $<TARGET_FILE:${stage}> ${data}
                       COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${script} -o ${object}
                       DEPENDS ${stage} ${CRASHKIT_DEBUGINFO_TOOLS}/make_debuginfo.py
                               ${CRASHKIT_DEBUGINFO_TOOLS}/blowfish.py ${CRASHKIT_DEBUGINFO_TOOLS}/pe_file.py
                       COMMENT "Debug information of ${name}" VERBATIM)
    set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    target_sources(${target} PRIVATE ${object})
    target_link_options(${target} PRIVATE @${base})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${base})
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CRASHKIT_PYTHON3} ${CRASHKIT_DEBUGINFO_TOOLS}/check_text.py $<TARGET_FILE:${stage}>
                               $<TARGET_FILE:${target}>
                       VERBATIM)
endfunction()
