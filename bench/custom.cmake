# Saving the custom panel's button list into a GeneralControlSettings.ini that holds many other sections.
vantiro_add_bench(bench_button_file SOURCES button_file_bench.cpp
    LIBRARIES vantiro_core vantiro_test_support)

# Opening the custom panel and its button editor with 40 ordinary buttons and with one caption of 10 MB.
vantiro_add_bench(bench_custom_panel_open SOURCES custom_panel_open_bench.cpp
    LIBRARIES vantiro_test_windows Qt6::Test)
