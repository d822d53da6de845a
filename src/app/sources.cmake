# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/app_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_folder.h
    ${CMAKE_CURRENT_LIST_DIR}/autostart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/autostart.h
    ${CMAKE_CURRENT_LIST_DIR}/background_unit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/background_unit.h
    ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_line.h
    ${CMAKE_CURRENT_LIST_DIR}/version.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/about_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/about_dialog.h
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/desktop_entry.h
    ${CMAKE_CURRENT_LIST_DIR}/process_tab.cpp
    ${CMAKE_CURRENT_LIST_DIR}/process_tab.h
    ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_window.h
    ${CMAKE_CURRENT_LIST_DIR}/main_window_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_prompts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_prompts.h
    ${CMAKE_CURRENT_LIST_DIR}/tray_icon.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tray_icon.h
)
