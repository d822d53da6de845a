# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_catalogue.h
    ${CMAKE_CURRENT_LIST_DIR}/command_dispatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_dispatch.h
    ${CMAKE_CURRENT_LIST_DIR}/display_models.cpp
    ${CMAKE_CURRENT_LIST_DIR}/display_models.h
    ${CMAKE_CURRENT_LIST_DIR}/quick_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/quick_commands.h
    ${CMAKE_CURRENT_LIST_DIR}/send_progress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/send_progress.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/quick_command_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/quick_command_frame.h
    ${CMAKE_CURRENT_LIST_DIR}/send_progress_bar.cpp
    ${CMAKE_CURRENT_LIST_DIR}/send_progress_bar.h
    ${CMAKE_CURRENT_LIST_DIR}/serial_command_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_command_frame.h
)
