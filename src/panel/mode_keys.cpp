#include "main_window.h"

void Form1::cmd_output_MouseDown() {}

void Form1::cmd_lock_MouseDown() {}

void Form1::cmd_lock_MouseUp() {}

void Form1::cmd_rem_MouseDown() {}

void Form1::cmd_n_MouseDown() {}

void Form1::cmd_f_MouseDown() {}

void Form1::tmr_flash_Timer() {}
