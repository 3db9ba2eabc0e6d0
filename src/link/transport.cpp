#include "main_window.h"

void Form1::SendCommand(const QString&) {}

QString Form1::ReadReply() {
    return {};
}

void Form1::WaitSeconds(double) {}

bool Form1::OpenPort() {
    return false;
}

void Form1::ClosePort() {}
