#pragma once

// Python clients (pyvisa-py) that stream 1,000 messages at the panel, setting
// one setting and querying it or the identity, each reply checked against
// what it must be; they print "all 1000 in order".
namespace test_support {

// Streams 1,000 messages, setting one setting and querying it or the identity,
// without waiting for replies; then checks each reply against what it must
// be. Arguments: port, identity, setting.
inline constexpr const char* SocketStreamingClient = R"(
import sys, pyvisa
instrument = pyvisa.ResourceManager('@py').open_resource('TCPIP0::127.0.0.1::%s::SOCKET' % sys.argv[1],
    read_termination='\n', write_termination='\n', timeout=10000)
identity, setting, value, expected = sys.argv[2], sys.argv[3], 0, []
for i in range(1000):
    if i % 2 == 0:
        value = (i * 37) % 20001 - 10000
        instrument.write('%s %d' % (setting, value))
    elif i % 10 == 1:
        instrument.write('*IDN?')
        expected.append(identity)
    else:
        instrument.write(setting + '?')
        expected.append(str(value))
for i, reply in enumerate(expected):
    if instrument.read() != reply:
        sys.exit('reply %d is not %r' % (i, reply))
print('all 1000 in order')
)";

// Streams 1,000 messages over VXI-11, setting one setting and querying it or
// the identity, each reply checked. Arguments: identity, setting.
inline constexpr const char* Vxi11StreamingClient = R"(
import sys, pyvisa
instrument = pyvisa.ResourceManager('@py').open_resource('TCPIP::127.0.0.1::INSTR', timeout=10000)
identity, setting, value = sys.argv[1], sys.argv[2], 0
for i in range(1000):
    if i % 2 == 0:
        value = (i * 37) % 20001 - 10000
        instrument.write('%s %d' % (setting, value))
    elif i % 10 == 1 and instrument.query('*IDN?') != identity + '\n':
        sys.exit('reply %d is not the identity' % i)
    elif i % 10 != 1 and instrument.query(setting + '?') != '%d\n' % value:
        sys.exit('reply %d is not %d' % (i, value))
print('all 1000 in order')
)";

} // namespace test_support
