# Files of this folder: what every copy of the program shares, window or not. How the user's running copy is
# found (the runtime folder, its lock and socket), and the requests it takes there. All core: no widgets.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/local_request_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_request_server.h
    ${CMAKE_CURRENT_LIST_DIR}/local_requests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_requests.h
    ${CMAKE_CURRENT_LIST_DIR}/runtime_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/runtime_folder.h
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.cpp
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.h
)
