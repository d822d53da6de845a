# The single-instance rule: a per-user lock file and a local socket beside it. No widgets, so it is tested
# without a window.
find_package(Qt6 REQUIRED COMPONENTS Network)

add_library(vantiro_instance STATIC
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.cpp
    ${CMAKE_CURRENT_LIST_DIR}/single_instance.h
)
target_include_directories(vantiro_instance PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(vantiro_instance
    PUBLIC Qt6::Core Qt6::Network
    PRIVATE vantiro_options
)
