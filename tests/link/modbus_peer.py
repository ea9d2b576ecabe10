#!/usr/bin/python3
"""Independent Modbus RTU slaves for the link tests, on Debian's python3-pymodbus (3.0), 9600 8N1.

  modbus_peer.py DEVICE ADDRESS...
      Holding registers 0-3 = 0, 1, 65535, 100*ADDRESS+3 and input registers
      0-3 = 65535, 0, 1, 100*ADDRESS+4; prints "ready" once listening.
"""

import asyncio
import sys

from pymodbus.datastore import ModbusSequentialDataBlock as Block, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer


async def serve(device, addresses):
    slaves = {a: ModbusSlaveContext(hr=Block(0, [0, 1, 65535, 100 * a + 3]),
                                    ir=Block(0, [65535, 0, 1, 100 * a + 4]), zero_mode=True) for a in addresses}
    server = await StartAsyncSerialServer(context=ModbusServerContext(slaves=slaves, single=False),
                                          framer=ModbusRtuFramer, port=device, baudrate=9600, defer_start=True)
    await server.start()
    if server.transport is None:
        sys.exit(f"cannot open {device}")
    print("ready", flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    asyncio.run(serve(sys.argv[1], [int(a) for a in sys.argv[2:]]))
