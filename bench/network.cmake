# "Monitors ALL ON" to 40 COM numbers behind one ser2net on loopback, beside the same ptys sent to directly.
vantiro_add_bench(bench_network_send SOURCES network_send_bench.cpp pty_drain.h
    LIBRARIES vantiro_core vantiro_test_support)
