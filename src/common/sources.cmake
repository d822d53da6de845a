# Files of this folder: what no subsystem owns (prompts, clock, INI files and whole-file saves, text tables, the status
# log), and the builders of the controls every window uses.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/clock.h
    ${CMAKE_CURRENT_LIST_DIR}/console_text.h
    ${CMAKE_CURRENT_LIST_DIR}/daily_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/daily_log.h
    ${CMAKE_CURRENT_LIST_DIR}/decimal_digits.h
    ${CMAKE_CURRENT_LIST_DIR}/event_wait.h
    ${CMAKE_CURRENT_LIST_DIR}/ini_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ini_file.h
    ${CMAKE_CURRENT_LIST_DIR}/prompts.h
    ${CMAKE_CURRENT_LIST_DIR}/record_numbers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_numbers.h
    ${CMAKE_CURRENT_LIST_DIR}/safe_save.cpp
    ${CMAKE_CURRENT_LIST_DIR}/safe_save.h
    ${CMAKE_CURRENT_LIST_DIR}/status_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_log.h
    ${CMAKE_CURRENT_LIST_DIR}/text_table_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_table_model.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/controls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/controls.h
)
