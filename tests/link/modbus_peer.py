#!/usr/bin/python3
"""Independent Modbus RTU peer for the link tests, on Debian's python3-pymodbus (3.0).

  modbus_peer.py serve DEVICE ADDRESS... [--bad-crc A] [--wrong-address A]
      Slaves ADDRESS... on the serial DEVICE. Each has holding and input
      registers 0-9 holding register_value(address, function, register);
      other registers answer exception 02. Addresses not listed stay silent.
      --bad-crc A: slave A's replies carry a corrupted CRC.
      --wrong-address A: slave A answers as if it were slave A+1.
      Prints "ready" once the port is open.

  modbus_peer.py read DEVICE ADDRESS FUNCTION REGISTER
      One read as a master; prints the value, or "error".
"""

import argparse
import asyncio
import sys

from pymodbus.client import ModbusSerialClient
from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.factory import ServerDecoder
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusRtuFramer

REGISTERS = 10


def register_value(address, function, register):
    """The fixed contents; the C++ tests compute the same."""
    fixed = {3: [0, 1, 65535], 4: [65535, 0, 1]}[function]
    if register < len(fixed):
        return fixed[register]
    return (address * 100 + register * 10 + function) & 0xFFFF


def slave_context(address):
    def block(function):
        return ModbusSequentialDataBlock(0, [register_value(address, function, r) for r in range(REGISTERS)])

    return ModbusSlaveContext(hr=block(3), ir=block(4), zero_mode=True)


def manipulator(bad_crc, wrong_address):
    framer = ModbusRtuFramer(ServerDecoder())

    def manipulate(response):
        if response.unit_id not in (bad_crc, wrong_address):
            return response, False
        if response.unit_id == wrong_address:
            response.unit_id = response.unit_id % 247 + 1
        packet = bytearray(framer.buildPacket(response))
        if response.unit_id == bad_crc:
            packet[-1] ^= 0x5A
        return bytes(packet), True

    return manipulate


async def serve(args):
    context = ModbusServerContext(slaves={a: slave_context(a) for a in args.addresses}, single=False)
    server = await StartAsyncSerialServer(
        context=context,
        framer=ModbusRtuFramer,
        port=args.device,
        baudrate=9600,
        defer_start=True,
        response_manipulator=manipulator(args.bad_crc, args.wrong_address),
    )
    await server.start()
    if server.transport is None:
        sys.exit(f"cannot open {args.device}")
    print("ready", flush=True)
    await server.serve_forever()


def read(args):
    client = ModbusSerialClient(port=args.device, framer=ModbusRtuFramer, baudrate=9600, timeout=1, retries=0)
    if not client.connect():
        sys.exit(f"cannot open {args.device}")
    call = client.read_holding_registers if args.function == 3 else client.read_input_registers
    try:
        reply = call(args.register, 1, slave=args.address)
        print("error" if reply.isError() else reply.registers[0], flush=True)
    except Exception:  # pymodbus raises on time-outs and framing errors alike
        print("error", flush=True)
    client.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    server = commands.add_parser("serve")
    server.add_argument("device")
    server.add_argument("addresses", type=int, nargs="+")
    server.add_argument("--bad-crc", type=int, default=-1)
    server.add_argument("--wrong-address", type=int, default=-1)
    client = commands.add_parser("read")
    client.add_argument("device")
    client.add_argument("address", type=int)
    client.add_argument("function", type=int, choices=(3, 4))
    client.add_argument("register", type=int)
    args = parser.parse_args()
    if args.command == "serve":
        asyncio.run(serve(args))
    else:
        read(args)


if __name__ == "__main__":
    main()
