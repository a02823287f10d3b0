# Per-target warnings: the project's own targets get them, third-party code does not.
function(kx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
