# Conduvex's communication code can unwind from any instruction: a fault that the crash library
# turns into an exception travels from where it happened to the export's or the thread's frame
# that catches it. (The Windows builds only; Iobrant and the native build have no such
# conversion, and reach host memory only through the fault guard.)
function(conduvex_fault_unwinding target)
    if(WIN32)
        target_compile_options(${target} PRIVATE -fnon-call-exceptions)
    endif()
endfunction()
