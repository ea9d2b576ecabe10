#!/usr/bin/python3
"""Independent Modbus slaves for the link tests, on Debian's python3-pymodbus (3.0).

  modbus_peer.py DEVICE ADDRESS...
      RTU slaves on a serial DEVICE, 9600 8N1.
  modbus_peer.py modbus-tcp:PORT ADDRESS...
  modbus_peer.py rtu-over-tcp:PORT ADDRESS...
      A Modbus TCP gateway, or a transparent server passing RTU frames, on
      127.0.0.1:PORT (0: any free port). A Modbus TCP request for another
      address gets exception 0x0B (target failed to respond), as from a gateway.

  Holding registers 0-3 = 0, 1, 65535, 100*ADDRESS+3 and input registers
  0-3 = 65535, 0, 1, 100*ADDRESS+4; prints "ready PORT" once listening.
"""

import asyncio
import sys

from pymodbus.datastore import ModbusSequentialDataBlock as Block, ModbusServerContext, ModbusSlaveContext
from pymodbus.exceptions import NoSuchSlaveException
from pymodbus.server import StartAsyncSerialServer, StartAsyncTcpServer
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


class GatewayContext(ModbusServerContext):
    """Takes requests for every address; pymodbus answers 0x0B for one it has no slave for."""

    def slaves(self):
        return list(range(1, 248))

    def __getitem__(self, address):
        if address not in self._slaves:
            raise NoSuchSlaveException(address)
        return self._slaves[address]


async def serve(where, addresses):
    slaves = {a: ModbusSlaveContext(hr=Block(0, [0, 1, 65535, 100 * a + 3]),
                                    ir=Block(0, [65535, 0, 1, 100 * a + 4]), zero_mode=True) for a in addresses}
    kind, _, port = where.partition(":")
    context = (GatewayContext if kind == "modbus-tcp" else ModbusServerContext)(slaves=slaves, single=False)
    if kind in ("modbus-tcp", "rtu-over-tcp"):
        framer = ModbusSocketFramer if kind == "modbus-tcp" else ModbusRtuFramer
        server = await StartAsyncTcpServer(context=context, framer=framer, address=("127.0.0.1", int(port)),
                                           allow_reuse_address=True, defer_start=True)
        task = asyncio.create_task(server.serve_forever())
        await server.serving
        print(f"ready {server.server.sockets[0].getsockname()[1]}", flush=True)
        await task
        return
    server = await StartAsyncSerialServer(context=context, framer=ModbusRtuFramer, port=where, baudrate=9600,
                                          defer_start=True)
    await server.start()
    if server.transport is None:
        sys.exit(f"cannot open {where}")
    print("ready", flush=True)
    await server.serve_forever()


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    asyncio.run(serve(sys.argv[1], [int(a) for a in sys.argv[2:]]))
