# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_hand_off.h
    ${CMAKE_CURRENT_LIST_DIR}/event_executor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/event_executor.h
)
