# Warnings on our own code only; as errors where CI asks for it (JQZ_WERROR), so that a user's
# newer compiler, or an optimisation level whose false positives CI never sees, does not fail
# the build.
option(JQZ_WERROR "Treat warnings in the project's own code as errors" OFF)
function(jqz_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(JQZ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
