# Fails the build when the guide names a picture that is not there, so that
# a renamed or dropped screenshot cannot leave a hole in the page.
#   cmake -DGUIDE=使用说明.md -DGUIDE_DIR=<folder of the page> -P check_pictures.cmake
file(READ "${GUIDE}" text)
string(REGEX MATCHALL "!\\[[^]]*\\]\\([^)]+\\)" images "${text}")
if(NOT images)
    message(FATAL_ERROR "${GUIDE} names no pictures")
endif()
foreach(image IN LISTS images)
    string(REGEX REPLACE "^!\\[[^]]*\\]\\(([^) ]+).*$" "\\1" path "${image}")
    if(NOT EXISTS "${GUIDE_DIR}/${path}")
        message(FATAL_ERROR "${GUIDE} names the picture ${path}, which was not made "
                            "(scripts/screenshots.sh makes the pictures the guide may name)")
    endif()
endforeach()
