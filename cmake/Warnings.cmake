# Flags for our own targets only: link plimbury_warnings PRIVATE.
add_library(plimbury_warnings INTERFACE)
if(MSVC)
  target_compile_options(plimbury_warnings INTERFACE /W4 /permissive- /utf-8)
  if(PLIMBURY_WERROR)
    target_compile_options(plimbury_warnings INTERFACE /WX)
  endif()
else()
  target_compile_options(plimbury_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor)
  if(PLIMBURY_WERROR)
    target_compile_options(plimbury_warnings INTERFACE -Werror)
  endif()
endif()

# Checked string and memory functions where glibc can tell the buffer's size
# (Debian's hardening flags do the same for its own packages). Optimized
# builds only: the checks need the optimizer; and not beside the sanitizers,
# which check the same calls their own way.
if(NOT WIN32 AND NOT MSVC AND NOT PLIMBURY_SANITIZE AND NOT PLIMBURY_FUZZ)
  target_compile_options(plimbury_warnings INTERFACE
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
