#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A production test as a script at the bench writes it with PyVISA and its
pure-Python backend: identify the supply, set it up, switch the output on,
measure, check a refused value, switch off.

    pyvisa_session.py HOST PORT

Expects a ZRM-522 on a 10 ohm load with its output off. Prints each answer;
exits non-zero at the first one that is not what it should be."""

import sys

import pyvisa


def expect(what, got, ok):
    print(f"{what}: {got}")
    if not ok:
        sys.exit(f"unexpected answer to {what}: {got!r}")


def main():
    host, port = sys.argv[1], sys.argv[2]
    resources = pyvisa.ResourceManager("@py")
    supply = resources.open_resource(
        f"TCPIP::{host}::{port}::SOCKET",
        read_termination="\n",
        write_termination="\n",
        timeout=10000,
    )
    identity = supply.query("*IDN?")
    expect("*IDN?", identity, identity.startswith("zrm-panel,ZRM-522,0,"))
    supply.write("*CLS")
    supply.write("VOLT 12.5;CURR 1500MA")
    levels = supply.query("VOLT?;CURR?")
    expect("VOLT?;CURR?", levels, levels == "12.50;1.50")
    supply.write("OUTP ON")
    output = supply.query("OUTP?")
    expect("OUTP?", output, output == "1")
    volts = float(supply.query("MEAS:VOLT?"))
    expect("MEAS:VOLT?", volts, abs(volts - 12.5) < 0.005)
    amperes = supply.query_ascii_values("MEAS:CURR?")[0]
    expect("MEAS:CURR?", amperes, abs(amperes - 1.25) < 0.0005)
    supply.write("VOLT 99")
    error = supply.query("SYST:ERR?")
    expect("SYST:ERR?", error, error == '-222,"Data out of range"')
    supply.write("OUTP OFF")
    output = supply.query("OUTP?;*OPC?")
    expect("OUTP?;*OPC?", output, output == "0;1")
    supply.close()
    resources.close()


if __name__ == "__main__":
    main()
