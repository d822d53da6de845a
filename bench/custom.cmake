# Saving the custom panel's button list into a GeneralControlSettings.ini that holds many other sections.
vantiro_add_bench(bench_button_file SOURCES button_file_bench.cpp
    LIBRARIES vantiro_core vantiro_test_support)
