# The background copy beside the window: resident memory and CPU time over 60 idle seconds, both real processes.
vantiro_add_bench(bench_background SOURCES background_bench.cpp LIBRARIES vantiro_test_support)
add_dependencies(bench_background vantiro)
target_compile_definitions(bench_background PRIVATE VANTIRO_PATH="$<TARGET_FILE:vantiro>")
