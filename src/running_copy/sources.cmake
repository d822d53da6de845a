# Files of this folder: what every copy of the program shares, window or not. How the user's running copy is
# found (the runtime folder, its lock and socket), the requests it takes there, and the schedule run without a
# window from Settings.ini. All core: no widgets.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/background_copy.cpp
    ${CMAKE_CURRENT_LIST_DIR}/background_copy.h
    ${CMAKE_CURRENT_LIST_DIR}/hand_back.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hand_back.h
    ${CMAKE_CURRENT_LIST_DIR}/headless_schedule.cpp
    ${CMAKE_CURRENT_LIST_DIR}/headless_schedule.h
    ${CMAKE_CURRENT_LIST_DIR}/local_request_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_request_server.h
    ${CMAKE_CURRENT_LIST_DIR}/local_requests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_requests.h
    ${CMAKE_CURRENT_LIST_DIR}/plain_client.cpp
    ${CMAKE_CURRENT_LIST_DIR}/plain_client.h
    ${CMAKE_CURRENT_LIST_DIR}/runtime_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/runtime_folder.h
    ${CMAKE_CURRENT_LIST_DIR}/send_command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/send_command_line.h
    ${CMAKE_CURRENT_LIST_DIR}/send_plan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/send_plan.h
    ${CMAKE_CURRENT_LIST_DIR}/send_requests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/send_requests.h
    ${CMAKE_CURRENT_LIST_DIR}/settings_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_watch.h
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.cpp
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.h
    ${CMAKE_CURRENT_LIST_DIR}/termination_signals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/termination_signals.h
)
