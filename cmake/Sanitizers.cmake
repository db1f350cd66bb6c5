# Applies TATV_SANITIZE to everything built below this point.
if(TATV_SANITIZE)
    set(_san_flags -fsanitize=${TATV_SANITIZE} -fno-omit-frame-pointer -g)
    if(TATV_SANITIZE MATCHES "undefined")
        list(APPEND _san_flags -fno-sanitize-recover=undefined)
    endif()
    add_compile_options(${_san_flags})
    add_link_options(-fsanitize=${TATV_SANITIZE})
endif()

# libFuzzer builds instrument everything for coverage; the fuzz programs add the driver.
if(TATV_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TATV_FUZZ needs clang (configure with CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
