# Files of this folder, added to the core library (no widgets) or to the windows library.
list(APPEND VANTIRO_CORE_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_text.h
    ${CMAKE_CURRENT_LIST_DIR}/line_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/line_settings.h
    ${CMAKE_CURRENT_LIST_DIR}/network_address.cpp
    ${CMAKE_CURRENT_LIST_DIR}/network_address.h
    ${CMAKE_CURRENT_LIST_DIR}/network_transport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/network_transport.h
    ${CMAKE_CURRENT_LIST_DIR}/port_map.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_map.h
    ${CMAKE_CURRENT_LIST_DIR}/port_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_text.h
    ${CMAKE_CURRENT_LIST_DIR}/rfc2217.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rfc2217.h
    ${CMAKE_CURRENT_LIST_DIR}/send_outcome.cpp
    ${CMAKE_CURRENT_LIST_DIR}/send_outcome.h
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_link.h
    ${CMAKE_CURRENT_LIST_DIR}/serial_port_transport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_transport.h
    ${CMAKE_CURRENT_LIST_DIR}/termios_transport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transport_choice.cpp
)

