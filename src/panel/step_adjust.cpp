#include "main_window.h"

void Form1::cmd_add_MouseDown() {}

void Form1::cmd_add_MouseUp() {}

void Form1::cmd_sub_MouseDown() {}

void Form1::cmd_sub_MouseUp() {}

void Form1::StepUp() {}

void Form1::StepDown() {}
