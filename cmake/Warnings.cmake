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
