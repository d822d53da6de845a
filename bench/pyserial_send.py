#!/usr/bin/python3
"""The same job as Vantiro's send, done with pyserial: for each device open it at 9600,n,8,1,
wait 20 ms, write the command, wait until it has left (tcdrain), close. Prints the wall time of
the loop in milliseconds."""
import sys
import time

import serial

COMMAND = bytes.fromhex("6B 61 20 30 31 20 30 31 0D")


def main(devices):
    start = time.perf_counter()
    for device in devices:
        port = serial.Serial(device, 9600, bytesize=8, parity="N", stopbits=1)
        time.sleep(0.020)
        port.write(COMMAND)
        port.flush()
        port.close()
    print(f"{(time.perf_counter() - start) * 1000:.3f}")


if __name__ == "__main__":
    main(sys.argv[1:])
