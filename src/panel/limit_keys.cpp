#include "main_window.h"

void Form1::cmd_vlimit_MouseDown() {}

void Form1::cmd_vlimit_MouseUp() {}

void Form1::cmd_ilimit_MouseDown() {}

void Form1::cmd_ilimit_MouseUp() {}

void Form1::cmd_plimit_MouseDown() {}

void Form1::cmd_plimit_MouseUp() {}
