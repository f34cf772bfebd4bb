# Module-definition files name each export's stdcall symbol as i686 decorates it
# ("ciOpen = ciOpen@4 @43"). x86_64 has no such decoration: there the build uses a copy
# without it, so one file serves both architectures.
function(conduvex_export_definitions out_var def)
    get_filename_component(def_path ${def} ABSOLUTE)
    if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(${out_var} ${def_path} PARENT_SCOPE)
        return()
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_path})
    file(READ ${def_path} text)
    string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
    get_filename_component(name ${def} NAME)
    string(MD5 folder ${def_path})
    set(copy ${CMAKE_BINARY_DIR}/def/${folder}/${name})
    file(WRITE ${copy} "${text}")
    set(${out_var} ${copy} PARENT_SCOPE)
endfunction()
