# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/display_models.cpp
    ${CMAKE_CURRENT_LIST_DIR}/display_models.h
    ${CMAKE_CURRENT_LIST_DIR}/quick_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/quick_commands.h
)
