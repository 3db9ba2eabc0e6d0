// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window.h"

#include <initializer_list>

namespace {

void SetEnabled(std::initializer_list<QWidget*> controls, bool value) {
    for (QWidget* control : controls) {
        control->setEnabled(value);
    }
}

} // namespace

void Form1::SetPanelEnabled(bool value) {
    SetEnabled({cmd_plus,   cmd_normal,  cmd_add,   cmd_sub,    cmd_minus,  cmd_vset,   cmd_rem,
                cmd_ce,     cmd_n,       cmd_f,     cmd_vlimit, cmd_plimit, cmd_ilimit, cmd_enter,
                cmd_output, frm_voltage, frm_limit, cmd_v,      cmd_u,      cmd_i,      cmd_p},
               value);
    lbl_lock->setVisible(!value);
}

void Form1::EnableGroupVLimit(bool value) {
    SetEnabled({cmd_plus, cmd_normal, cmd_minus, cmd_vset, cmd_rem, cmd_lock, cmd_ilimit,
                cmd_plimit, frm_voltage, frm_limit},
               value);
}

void Form1::EnableGroupPLimit(bool value) {
    SetEnabled({cmd_plus, cmd_normal, cmd_minus, cmd_vset, cmd_rem, cmd_lock, cmd_vlimit,
                cmd_ilimit, frm_voltage, frm_limit},
               value);
}

void Form1::EnableGroupILimit(bool value) {
    SetEnabled({cmd_plus, cmd_normal, cmd_minus, cmd_vset, cmd_rem, cmd_lock, cmd_vlimit,
                cmd_plimit, frm_voltage, frm_limit},
               value);
}

void Form1::EnableGroupEntry(bool value) {
    SetEnabled({cmd_plus, cmd_normal, cmd_minus, cmd_vset, cmd_rem, cmd_lock, cmd_vlimit,
                cmd_ilimit, cmd_plimit, frm_voltage, frm_limit},
               value);
}

void Form1::EnableGroupConnect(bool value) {
    SetEnabled({cmd_plus, cmd_normal, cmd_minus, cmd_n, cmd_f, cmd_ce, cmd_output, cmd_enter,
                cmd_vset, cmd_lock, cmd_vlimit, cmd_ilimit, cmd_plimit, frm_voltage, frm_limit,
                cmd_add, cmd_sub},
               value);
}

void Form1::EnableGroupPercent(bool value) {
    SetEnabled({cmd_vset, cmd_rem, cmd_ce, cmd_enter, cmd_vlimit, cmd_ilimit, cmd_plimit,
                frm_voltage, frm_limit, cmd_add, cmd_sub},
               value);
}

void Form1::EnableGroupEdit(bool value) {
    SetEnabled({cmd_normal, cmd_lock, cmd_vset, cmd_rem, cmd_n, cmd_f, cmd_output, cmd_vlimit,
                cmd_ilimit, cmd_plimit, frm_voltage, frm_limit},
               value);
}
