# Warning flags shared by every target of the project.
add_library(tatv_warnings INTERFACE)
target_compile_options(tatv_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wnull-dereference
    -Wformat=2 -Wimplicit-fallthrough)
if(TATV_WERROR)
    target_compile_options(tatv_warnings INTERFACE -Werror)
endif()
