# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/examined_seconds.cpp
    ${CMAKE_CURRENT_LIST_DIR}/examined_seconds.h
    ${CMAKE_CURRENT_LIST_DIR}/runner_hand_over.cpp
    ${CMAKE_CURRENT_LIST_DIR}/runner_hand_over.h
    ${CMAKE_CURRENT_LIST_DIR}/schedule_runner.cpp
    ${CMAKE_CURRENT_LIST_DIR}/schedule_runner.h
    ${CMAKE_CURRENT_LIST_DIR}/schedule_editing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/schedule_editing.h
    ${CMAKE_CURRENT_LIST_DIR}/schedule_rules.cpp
    ${CMAKE_CURRENT_LIST_DIR}/schedule_rules.h
    ${CMAKE_CURRENT_LIST_DIR}/schedule_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/schedule_table.h
    ${CMAKE_CURRENT_LIST_DIR}/week_plan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/week_plan.h
    ${CMAKE_CURRENT_LIST_DIR}/calendar_export.cpp
    ${CMAKE_CURRENT_LIST_DIR}/calendar_export.h
    ${CMAKE_CURRENT_LIST_DIR}/event_executor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/event_executor.h
)
list(APPEND VANTIRO_UI_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/schedule_tab.cpp
    ${CMAKE_CURRENT_LIST_DIR}/schedule_tab.h
    ${CMAKE_CURRENT_LIST_DIR}/week_view_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/week_view_window.h
)
