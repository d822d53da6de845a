# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/clock.h
    ${CMAKE_CURRENT_LIST_DIR}/prompts.h
    ${CMAKE_CURRENT_LIST_DIR}/status_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_log.h
    ${CMAKE_CURRENT_LIST_DIR}/text_table_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_table_model.h
    ${CMAKE_CURRENT_LIST_DIR}/version.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window.h
    ${CMAKE_CURRENT_LIST_DIR}/main_window_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_prompts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_prompts.h
    ${CMAKE_CURRENT_LIST_DIR}/tray_icon.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tray_icon.h
)
