# vantiro-send through a running copy (this benchmark), next to the same send asked for inside that copy.
vantiro_add_bench(bench_send SOURCES send_bench.cpp ${PROJECT_SOURCE_DIR}/tools/vantiro-send/send_plan.cpp
    LIBRARIES vantiro_core vantiro_test_support)
target_include_directories(bench_send PRIVATE ${PROJECT_SOURCE_DIR}/tools/vantiro-send)
add_dependencies(bench_send vantiro-send)
target_compile_definitions(bench_send PRIVATE VANTIRO_SEND_PATH="$<TARGET_FILE:vantiro-send>")
