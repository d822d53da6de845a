# vantiro-send through a running copy (this benchmark), next to the same send asked for inside that copy.
vantiro_add_bench(bench_send SOURCES send_bench.cpp LIBRARIES vantiro_core vantiro_test_support)
add_dependencies(bench_send vantiro-send)
target_compile_definitions(bench_send PRIVATE VANTIRO_SEND_PATH="$<TARGET_FILE:vantiro-send>")
