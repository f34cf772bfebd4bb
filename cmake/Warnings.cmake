# Every target of ours builds warning-free.
function(conduvex_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
