#include "main_window.h"

void Form1::cmd_v_MouseDown() {}

void Form1::cmd_u_MouseDown() {}

void Form1::cmd_i_MouseDown() {}

void Form1::cmd_p_MouseDown() {}

void Form1::txt_v_KeyUp(int) {}

void Form1::txt_u_KeyUp(int) {}

void Form1::txt_i_KeyUp(int) {}

void Form1::txt_p_KeyUp(int) {}

void Form1::txt_v_LostFocus() {}

void Form1::txt_u_LostFocus() {}

void Form1::txt_i_LostFocus() {}

void Form1::txt_p_LostFocus() {}

void Form1::ValidateVoltageSetEntry() {}

void Form1::ValidateVoltageLimitEntry() {}

void Form1::ValidateCurrentLimitEntry() {}

void Form1::ValidatePowerLimitEntry() {}
