# The LG panel: its rules in the core library, its window and sections in the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_section.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_section.h
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_window.h
)
