# One place for the language level, warnings and Qt defines shared by every target.
add_library(vantiro_options INTERFACE)

target_compile_features(vantiro_options INTERFACE cxx_std_20)

target_compile_definitions(vantiro_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER
    VANTIRO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    VANTIRO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    VANTIRO_VERSION_PATCH=${PROJECT_VERSION_PATCH}
    VANTIRO_VERSION_REVISION=${PROJECT_VERSION_TWEAK}
)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(vantiro_options INTERFACE -Wall -Wextra -Wpedantic)
    if(VANTIRO_WERROR)
        target_compile_options(vantiro_options INTERFACE -Werror)
    endif()
elseif(MSVC)
    target_compile_options(vantiro_options INTERFACE /W4 /permissive- /utf-8)
    if(VANTIRO_WERROR)
        target_compile_options(vantiro_options INTERFACE /WX)
    endif()
endif()

# Release builds on Debian take the distribution's hardening flags, as its own packages do: fortified
# functions, a strong stack protector, read-only relocations bound at start. dpkg-buildflags knows them for
# this release of the distribution; the build type keeps choosing optimisation and debug information.
find_program(VANTIRO_DPKG_BUILDFLAGS dpkg-buildflags)
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND VANTIRO_DPKG_BUILDFLAGS)
    if(NOT DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
        set(ENV{DEB_BUILD_MAINT_OPTIONS} "hardening=+all")
    endif()
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(COMMAND ${VANTIRO_DPKG_BUILDFLAGS} --get ${kind}
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
                        RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
        endif()
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*)$")
        set(distribution_flags_${kind} ${flags})
    endforeach()
    target_compile_options(vantiro_options INTERFACE ${distribution_flags_CPPFLAGS} ${distribution_flags_CXXFLAGS})
    target_link_options(vantiro_options INTERFACE ${distribution_flags_LDFLAGS})
    message(STATUS "Distribution build flags: ${distribution_flags_CPPFLAGS} ${distribution_flags_CXXFLAGS} "
                   "${distribution_flags_LDFLAGS}")
endif()
