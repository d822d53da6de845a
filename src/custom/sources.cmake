# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/button_editor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/button_editor.h
    ${CMAKE_CURRENT_LIST_DIR}/checked_send.cpp
    ${CMAKE_CURRENT_LIST_DIR}/checked_send.h
    ${CMAKE_CURRENT_LIST_DIR}/custom_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/custom_panel.h
    ${CMAKE_CURRENT_LIST_DIR}/panel_button.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_button.h
    ${CMAKE_CURRENT_LIST_DIR}/panel_command_set.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_command_set.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/button_editor_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/button_editor_window.h
    ${CMAKE_CURRENT_LIST_DIR}/custom_panel_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/custom_panel_window.h
    ${CMAKE_CURRENT_LIST_DIR}/window_size.cpp
    ${CMAKE_CURRENT_LIST_DIR}/window_size.h
)
