// SPDX-License-Identifier: GPL-3.0-or-later
#include "csv_log.h"

#include <QStringList>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

QString CsvHeader() {
    return QStringLiteral("time,seconds,voltage (V),current (A),power (W),current limit (A),"
                          "power limit (W),model,port,charge (Ah),energy (Wh)\n");
}

QString CsvNumber(const StatusField& field) {
    if (!field.plain) {
        return {};
    }
    const QStringView text = QStringView(field.text).trimmed();
    const qsizetype point = text.indexOf(u'.');
    const int decimals = point < 0 ? 0 : static_cast<int>(text.size() - point - 1);
    return QString::number(LeadingNumber(text), 'f', decimals);
}

QString CsvRow(const QDateTime& time, double seconds, const StatusLine& status,
               const QString& model, const QString& port, const EnergyTotals& counters) {
    const QDateTime withOffset = time.toOffsetFromUtc(time.offsetFromUtc());
    const QStringList fields{
        withOffset.toString(Qt::ISODateWithMs),
        QString::number(seconds, 'f', 3),
        CsvNumber(status.voltage),
        CsvNumber(status.current),
        CsvNumber(status.power),
        CsvNumber(status.currentLimit),
        CsvNumber(status.powerLimit),
        model,
        port,
        QString::number(counters.ampHours, 'f', RunDecimals::Counter),
        QString::number(counters.wattHours, 'f', RunDecimals::Counter),
    };
    return fields.join(u',') + u'\n';
}

bool CsvLog::Open(const QString& path) {
    file_.close();
    file_.setFileName(path);
    // Unbuffered: every write goes to the file at once, whole.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        return false;
    }
    started_.start();
    return file_.size() > 0 || Write(CsvHeader());
}

bool CsvLog::StillThere() const {
#ifdef Q_OS_UNIX
    struct stat open {};
    struct stat named {};
    return fstat(file_.handle(), &open) == 0 &&
           stat(QFile::encodeName(file_.fileName()).constData(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
#else
    return file_.exists();
#endif
}

bool CsvLog::Append(const QString& row) {
    return Write(row);
}

void CsvLog::Close() {
    file_.close();
}

bool CsvLog::Write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const qint64 before = file_.size();
    // One write unless the disk fills in the middle of the row; the next
    // write then fails and says why.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file_.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            error_ = file_.errorString();
            if (file_.size() > before) {
                file_.resize(before);
            }
            return false;
        }
        done += written;
    }
    return true;
}
