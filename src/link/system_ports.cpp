// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace {

// The names in a folder of /dev/serial, by the device each one links to.
// Those of by-id carry the adapter's maker, model and serial number, those
// of by-path the USB socket it is plugged into; both stay the same from one
// plugging to the next while ttyUSB numbers follow the order of plugging.
QHash<QString, QString> LinkNames(const QString& folder) {
    QHash<QString, QString> names;
    const QDir dir(folder);
    const auto links = dir.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& link : links) {
        names.insert(link.canonicalFilePath(), link.fileName());
    }
    return names;
}

SerialPortDescription Describe(const QSerialPortInfo& info, const QHash<QString, QString>& byId,
                               const QHash<QString, QString>& byPath) {
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
    const QString device = QFileInfo(port.systemLocation).canonicalFilePath();
    port.byIdName = byId.value(device);
    port.byPathName = byPath.value(device);
    return port;
}

// Qt lists only the ports that are there: built-in UARTs without hardware
// behind them are left out.
QList<SerialPortDescription> SystemSerialPorts() {
    const QHash<QString, QString> byId = LinkNames(QStringLiteral("/dev/serial/by-id"));
    const QHash<QString, QString> byPath = LinkNames(QStringLiteral("/dev/serial/by-path"));
    QList<SerialPortDescription> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        ports << Describe(info, byId, byPath);
    }
    return ports;
}

// The device a path stands for: a link's target, or the path itself where it
// leads nowhere (a missing device, a Windows port name).
QString DeviceOf(const QString& path) {
    const QString device = QFileInfo(path).canonicalFilePath();
    return device.isEmpty() ? path : device;
}

} // namespace

QList<SerialPortDescription> (*Form1::ListSerialPorts)() = SystemSerialPorts;

void Form1::MapComPorts() {
    ComPortDevices = OrderComPorts(ListSerialPorts(), ComPortOverrides(), DeviceOf);
}

QString Form1::ComPortDevice(int n) const {
    return ComPortDevices.value(n - 1);
}
