# Warnings are errors on our own code only; third-party and system headers come in as SYSTEM includes.
add_library(qb_warnings INTERFACE)
# -Wnon-virtual-dtor is left out: COM interfaces have no virtual destructor by design, and our COM
# objects are destroyed only by their own Release.
target_compile_options(qb_warnings INTERFACE
    -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Werror)

add_library(qb_platform INTERFACE)
if(WIN32)
    target_compile_definitions(qb_platform INTERFACE
        UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
    # The DLL and the test programs carry their own runtime: nothing but Windows system DLLs is imported.
    target_link_options(qb_platform INTERFACE -static -static-libgcc -static-libstdc++)
elseif(QB_SANITIZE)
    target_compile_options(qb_platform INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    target_link_options(qb_platform INTERFACE -fsanitize=address,undefined)
endif()
