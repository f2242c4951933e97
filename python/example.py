"""Sets the I attenuator of an R6140K, then prints every setting.

python3 example.py ASRL/dev/ttyUSB0::INSTR
python3 example.py TCPIP0::127.0.0.1::5025::SOCKET   # through r6140k-panel --listen 5025

Keep r6140k.py beside this file, or on PYTHONPATH.
"""

import sys

from r6140k import R6140K

instrument = R6140K(sys.argv[1] if len(sys.argv) > 1 else "TCPIP0::127.0.0.1::5025::SOCKET")
print(instrument.id)
instrument.modulator_iattenuator_db = 5.125  # dB, sent as :MOD:IATT 41 (modulator_iattenuator is 41)
for name, value in instrument.settings().items():
    print(name, value)
