# Warnings as errors for the project's own targets.
function(morvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion -Wold-style-cast -Werror)
endfunction()

# The program's texts are written in UTF-8 and compiled to code page 936.
function(morvane_gbk_texts target)
  target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=GBK)
endfunction()
