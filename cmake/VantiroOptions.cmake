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
