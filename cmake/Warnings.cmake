# Every target of the project compiles with warnings as errors on every toolchain.
function(lodevar_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion -Werror)
endfunction()
