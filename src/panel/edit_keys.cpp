#include "main_window.h"

void Form1::cmd_enter_MouseDown() {}

void Form1::cmd_ce_MouseDown() {}

void Form1::cmd_vset_MouseDown() {}
