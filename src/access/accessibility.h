// SPDX-License-Identifier: GPL-3.0-or-later
// The panel for the keyboard alone and for screen readers: every reading
// heard with what it means, every key pressed from the keyboard or by an
// assistive technology's "Press" action, and a focus frame that can be seen.
#pragma once

class Form1;

// The program's own interfaces for its keys and readings. Call before the
// window builds its controls: an interface, once asked for, is kept.
void InstallAccessibleInterfaces();

// Readings, keyboard keys and the focus frame of the window. Call once,
// after its controls are built.
void MakeAccessible(Form1& form);
