# The Hyundai panel: its key and function tables and command building (core), its window and the
# drawn remote control (windows).
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_panel_window.h
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_remote.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyundai_remote.h
)
