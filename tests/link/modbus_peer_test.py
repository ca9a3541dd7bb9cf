#!/usr/bin/python3
"""Checks the configurator's ModBus return command against pymodbus.

pymodbus serves a coil on one pseudo-terminal, the configurator's probe talks
on another, and a relay joins the two lines. The probe must get the echo of
Write Single Coil and accept it with status 0.
Usage: modbus_peer_test.py PROBE rtu|ascii
"""
import asyncio
import logging
import os
import select
import subprocess
import sys
import threading
import tty

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server.async_io import StartAsyncSerialServer
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer

ADDRESS = 16
BAUD = 115200
COIL = 0xF0F0


def line():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


def relay(a, b, stop):
    while not stop.is_set():
        ready, _, _ = select.select([a, b], [], [], 0.05)
        for fd in ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                continue
            os.write(b if fd == a else a, data)


async def main(probe, mode):
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)  # noise of the shutdown
    server_master, server_slave, server_path = line()
    probe_master, probe_slave, probe_path = line()
    stop = threading.Event()
    threading.Thread(target=relay, args=(server_master, probe_master, stop), daemon=True).start()

    coils = ModbusSequentialDataBlock(0, [False] * 0x10000)
    context = ModbusServerContext(slaves={ADDRESS: ModbusSlaveContext(co=coils, zero_mode=True)},
                                  single=False)
    framer = ModbusRtuFramer if mode == "rtu" else ModbusAsciiFramer
    server = await StartAsyncSerialServer(context=context, framer=framer, port=server_path,
                                          baudrate=BAUD, defer_start=True)
    await server.start()
    serving = asyncio.create_task(server.serve_forever())
    await asyncio.sleep(0.5)

    result = await asyncio.create_subprocess_exec(probe, probe_path, mode, str(ADDRESS), str(BAUD),
                                                  stdout=subprocess.PIPE)
    output, _ = await result.communicate()
    print(output.decode().strip())
    coil = context[ADDRESS].getValues(1, COIL, 1)[0]
    stop.set()
    serving.cancel()
    await server.shutdown()
    for fd in (server_master, server_slave, probe_master, probe_slave):
        os.close(fd)
    if result.returncode != 0:
        print(f"the probe failed with exit code {result.returncode}")
        return 1
    if not coil:
        print("pymodbus did not see the coil written")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(asyncio.run(main(sys.argv[1], sys.argv[2])))
