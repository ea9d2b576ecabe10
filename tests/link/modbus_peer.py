#!/usr/bin/python3
"""Independent Modbus RTU peer for the link tests, on Debian's python3-pymodbus (3.0), 9600 8N1.

  modbus_peer.py serve DEVICE ADDRESS...
      Slaves with holding registers 0-3 = 0, 1, 65535, 100*ADDRESS+3 and input
      registers 0-3 = 65535, 0, 1, 100*ADDRESS+4; prints "ready" once listening.
  modbus_peer.py read DEVICE ADDRESS FUNCTION REGISTER
      One read as a master; prints the value, or "error".
"""

import asyncio
import sys

from pymodbus.client import ModbusSerialClient
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


def read(device, address, function, register):
    client = ModbusSerialClient(port=device, framer=ModbusRtuFramer, baudrate=9600, timeout=1, retries=0)
    if not client.connect():
        sys.exit(f"cannot open {device}")
    call = client.read_holding_registers if function == 3 else client.read_input_registers
    try:
        reply = call(register, 1, slave=address)
        print("error" if reply.isError() else reply.registers[0], flush=True)
    except Exception:  # pymodbus raises on time-outs and framing errors alike
        print("error", flush=True)
    client.close()


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "serve":
        asyncio.run(serve(sys.argv[2], [int(a) for a in sys.argv[3:]]))
    elif len(sys.argv) == 6 and sys.argv[1] == "read":
        read(sys.argv[2], *(int(a) for a in sys.argv[3:]))
    else:
        sys.exit(__doc__)
