# The single-instance rule: a per-user lock file and a local socket beside it; and what the desktop's
# notification area reports, asked on the session bus. No widgets, so both are tested without a window.
find_package(Qt6 REQUIRED COMPONENTS Network DBus Gui)

add_library(vantiro_instance STATIC
    ${CMAKE_CURRENT_LIST_DIR}/notification_area.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notification_area.h
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.cpp
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.h
)
target_include_directories(vantiro_instance PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(vantiro_instance
    PUBLIC Qt6::Core Qt6::Network
    PRIVATE Qt6::DBus Qt6::Gui vantiro_options
)
