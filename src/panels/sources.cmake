# Files of this folder, added to the core library (no widgets) or to the windows library.
# The LG and Hyundai panels: their rules (command building, checks, LGSettings.ini, the key and
# function tables) in the core library, their windows, sections and the drawn remote control in the
# windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel.h
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel_window.h
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_remote.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_remote.h
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_section.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_section.h
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lg_panel_window.h
)
