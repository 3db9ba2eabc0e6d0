// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace {

// The names in /dev/serial/by-id, by the device each one links to. They
// carry the adapter's maker, model and serial number, so they stay the same
// from one plugging to the next while ttyUSB numbers follow the order of
// plugging.
QHash<QString, QString> ByIdNames() {
    QHash<QString, QString> names;
    const QDir dir(QStringLiteral("/dev/serial/by-id"));
    const auto links = dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& link : links) {
        names.insert(link.canonicalFilePath(), link.fileName());
    }
    return names;
}

SerialPortDescription Describe(const QSerialPortInfo& info, const QHash<QString, QString>& byId) {
    SerialPortDescription port;
    port.name = info.portName();
    port.systemLocation = info.systemLocation();
    if (info.hasVendorIdentifier()) {
        port.vendorId = info.vendorIdentifier();
    }
    if (info.hasProductIdentifier()) {
        port.productId = info.productIdentifier();
    }
    port.serialNumber = info.serialNumber();
    port.manufacturer = info.manufacturer();
    port.byIdName = byId.value(QFileInfo(port.systemLocation).canonicalFilePath());
    return port;
}

// Qt lists only the ports that are there: built-in UARTs without hardware
// behind them are left out.
QList<SerialPortDescription> SystemSerialPorts() {
    const QHash<QString, QString> byId = ByIdNames();
    QList<SerialPortDescription> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        ports << Describe(info, byId);
    }
    return ports;
}

} // namespace

QList<SerialPortDescription> (*Form1::ListSerialPorts)() = SystemSerialPorts;

void Form1::MapComPorts() {
    ComPortDevices = OrderComPorts(ListSerialPorts(), ComPortOverrides());
}

QString Form1::ComPortDevice(int n) const {
    return ComPortDevices.value(n - 1);
}
