# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/settings_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_session.h
    ${CMAKE_CURRENT_LIST_DIR}/day_mask.cpp
    ${CMAKE_CURRENT_LIST_DIR}/day_mask.h
    ${CMAKE_CURRENT_LIST_DIR}/records.cpp
    ${CMAKE_CURRENT_LIST_DIR}/records.h
    ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_file.h
    ${CMAKE_CURRENT_LIST_DIR}/inventory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/inventory.h
    ${CMAKE_CURRENT_LIST_DIR}/unsaved_changes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/unsaved_changes.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/inventory_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/inventory_frame.h
)
