# What the desktop's notification area reports, asked on the session bus. No widgets, so it is tested without a
# window; apart from the core library, so only the window's side links the bus.
find_package(Qt6 REQUIRED COMPONENTS DBus Gui)

add_library(vantiro_notification_area STATIC
    ${CMAKE_CURRENT_LIST_DIR}/notification_area.cpp
    ${CMAKE_CURRENT_LIST_DIR}/notification_area.h
)
target_include_directories(vantiro_notification_area PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(vantiro_notification_area
    PUBLIC vantiro_core
    PRIVATE Qt6::DBus Qt6::Gui vantiro_options
)
