# Settings.ini at scale: reading and writing 8,000 groups, the parse against the number of lines, and
# the start of the main window with large and huge files.
vantiro_add_bench(bench_settings_scale SOURCES settings_scale_bench.cpp
    LIBRARIES vantiro_test_windows Qt6::Test)
