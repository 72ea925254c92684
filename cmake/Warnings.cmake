# The compiler warnings of every tree: the Linux build and both Windows toolchains.
# KALIMO_WARNINGS_AS_ERRORS (on in the builds of the test command) turns every warning into an error.
option(KALIMO_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror=return-type)
if(KALIMO_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()
