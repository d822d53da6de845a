vantiro_add_test(test_hyundai_panel SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_hyundai_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../scheduler/executor_rig.cpp ${CMAKE_CURRENT_LIST_DIR}/../scheduler/executor_rig.h
    LIBRARIES vantiro_test_windows)
target_include_directories(test_hyundai_panel PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../scheduler)
