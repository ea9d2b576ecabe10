#!/usr/bin/python3
"""An independent Modbus client for the simulator tests, on Debian's python3-pymodbus (3.0).

  modbus_reader.py KIND PORT READ...
      KIND is modbus-tcp or rtu-over-tcp (pymodbus's RTU framer on a TCP
      connection), the server 127.0.0.1:PORT. Each READ is SLAVE/FUNCTION/
      REGISTER/COUNT (function 3 or 4); prints one line per read: the values,
      "exception N" or "no reply".
"""

import sys

from pymodbus.client import ModbusTcpClient
from pymodbus.exceptions import ModbusIOException
from pymodbus.pdu import ExceptionResponse
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer


def main(kind, port, reads):
    framer = {"modbus-tcp": ModbusSocketFramer, "rtu-over-tcp": ModbusRtuFramer}[kind]
    client = ModbusTcpClient("127.0.0.1", port=int(port), framer=framer, timeout=1, retries=0)
    if not client.connect():
        sys.exit(f"cannot connect to port {port}")
    for read in reads:
        slave, function, register, count = (int(n) for n in read.split("/"))
        call = client.read_holding_registers if function == 3 else client.read_input_registers
        reply = call(register, count, slave=slave)
        if isinstance(reply, ModbusIOException):
            print("no reply")
        elif isinstance(reply, ExceptionResponse):
            print(f"exception {reply.exception_code}")
        else:
            print(" ".join(str(value) for value in reply.registers))
        sys.stdout.flush()
    client.close()


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
