#include "main_window.h"

void Form1::ConnectSupply() {}

void Form1::CollectSupplyData() {}
