#include "main_window.h"

void Form1::Timer3_Timer() {}

void Form1::PollMonitor() {}
