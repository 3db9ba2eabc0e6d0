// SPDX-License-Identifier: GPL-3.0-or-later
// port_holder PATH: opens the serial device at PATH as the panel does and
// holds it until its standard input closes, standing in for another program
// that has the port. Prints "held" once the port is open.
#include <QSerialPort>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: port_holder PATH\n", stderr);
        return 2;
    }
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "%s\n", qPrintable(port.errorString()));
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
