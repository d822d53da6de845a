# Files of this folder, added to the core library (no widgets) or to the windows library.
# Each panel lists its own files.
include(${CMAKE_CURRENT_LIST_DIR}/lg_panel.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/hyundai_panel.cmake OPTIONAL)
