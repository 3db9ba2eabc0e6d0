#include "main_window.h"

void Form1::cmd_plus_MouseDown() {}

void Form1::cmd_minus_MouseDown() {}

void Form1::cmd_normal_MouseDown() {}

void Form1::txt_plus_KeyUp(int) {}

void Form1::txt_minus_KeyUp(int) {}

void Form1::txt_plus_LostFocus() {}

void Form1::txt_minus_LostFocus() {}

void Form1::ValidatePlusPercent() {}

void Form1::ValidateMinusPercent() {}
