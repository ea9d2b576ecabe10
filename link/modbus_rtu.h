#pragma once

// Modbus RTU master on a serial port or behind a network gateway (RTU over
// TCP, Modbus TCP), one read per request. Ports are numbered: port N is
// "COMN" (see link/PORTS.md for how a number becomes a device file or a
// gateway of ports.conf). Every call may come from any thread.

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MBRTU_BUILDING)
#define MBRTU_API __attribute__((visibility("default")))
#else
#define MBRTU_API
#endif

// Opens (or reopens with new settings) port COM<port>. parity is "n", "o" or
// "e"; baud one of the standard rates up to 115200; dataBits 5-8; stopBits 1-2.
// The port is taken exclusively (flock and TIOCEXCL), so -1 also means that
// another process has it locked. A gateway port connects within 3 seconds,
// and a gateway is used through one port number of the program at a time.
// Returns 1 when open, -1 otherwise (mbrtuOpenFailure says why).
MBRTU_API int mbrtuComOpen(int port, int baud, int dataBits, const char* parity, int stopBits);

// Allowance in milliseconds for the slave's turn-around and adapter latency,
// added to the frame times to give the reply time-out. Applies to all ports.
MBRTU_API void mbrtuSetDelay(int delay);

// 1 while a request of this library is in progress on the port, else 0.
MBRTU_API int mbrtuComWork(int port);

// Read `count` (1-40) holding (03) or input (04) registers of `slave` (1-247)
// from register `reg` into buffer[0..count-1], one register per element.
// Returns the number of registers read, or -1 for no valid answer.
MBRTU_API int mbrtufcn03(int port, int slave, int reg, int count, int* buffer);
MBRTU_API int mbrtufcn04(int port, int slave, int reg, int count, int* buffer);

// Closes the port; closing a port that is not open does nothing.
MBRTU_API void mbrtuComClose(int port);

// Why the last read on the port failed, for telling a silent slave from a
// garbled line: MBRTU_GOOD when it succeeded; MBRTU_NO_REPLY when nothing
// came back within the time-out (also for a request not sent: bad arguments,
// port not open or gone); MBRTU_BAD_REPLY for bytes that are no valid reply
// (wrong checksum, another slave's address, a frame cut short, noise);
// MBRTU_EXCEPTION_REPLY for a Modbus exception reply. A request refused
// because another one is in progress leaves the kind to that one.
enum { MBRTU_GOOD = 0, MBRTU_NO_REPLY = 1, MBRTU_BAD_REPLY = 2, MBRTU_EXCEPTION_REPLY = 3 };
MBRTU_API int mbrtuLastFailure(int port);

// Why the last mbrtuComOpen of the port failed: MBRTU_OPEN_NO_DEVICE (serial
// device missing, not accessible or locked; also bad arguments),
// MBRTU_OPEN_BAD_LINE (its ports.conf line was refused), and for a gateway
// MBRTU_OPEN_NO_HOST (name not found), MBRTU_OPEN_REFUSED (connection
// refused), MBRTU_OPEN_TIMEOUT (no answer within 3 seconds),
// MBRTU_OPEN_UNREACHABLE (no route, network down) or MBRTU_OPEN_IN_USE
// (another port number of this program has the gateway).
enum {
    MBRTU_OPEN_GOOD = 0,
    MBRTU_OPEN_NO_DEVICE = 1,
    MBRTU_OPEN_BAD_LINE = 2,
    MBRTU_OPEN_NO_HOST = 3,
    MBRTU_OPEN_REFUSED = 4,
    MBRTU_OPEN_TIMEOUT = 5,
    MBRTU_OPEN_UNREACHABLE = 6,
    MBRTU_OPEN_IN_USE = 7
};
MBRTU_API int mbrtuOpenFailure(int port);

#ifdef __cplusplus
}
#endif
