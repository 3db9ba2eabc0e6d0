// Form1, the soft front panel: every control, the serial port, the timers and
// the whole window state live here. Its procedures are spread over the source
// folders by subsystem: shell/ (window, start-up, enable groups), link/ (the
// serial line), panel/ (one file per key family).
#pragma once

#include "panel_keys.h"
#include "panel_state.h"

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QWidget>

class QStatusBar;
class Form2;

class Form1 : public QWidget, public PanelState {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Ends the process at once, as EXIT does. Tests replace it to observe the
    // end without ending themselves.
    static void (*EndProgram)();

    // Load handler: refuses a second copy, fills the tables and arms the
    // start-up tick. Returns false when this copy must end.
    bool Form1_Load();

    // ---- Controls (names as on the panel's design) ----
    QGroupBox* frm_monitor;
    QGroupBox* frm_keypad;
    QGroupBox* frm_voltage;
    QGroupBox* frm_limit;

    PanelKey* cmd_plus;
    PanelKey* cmd_normal;
    PanelKey* cmd_minus;
    PanelKey* cmd_vset;
    PanelKey* cmd_rem;
    PanelKey* cmd_lock;
    PanelKey* cmd_ce;
    PanelKey* cmd_n;
    PanelKey* cmd_f;
    PanelKey* cmd_vlimit;
    PanelKey* cmd_plimit;
    PanelKey* cmd_ilimit;
    PanelKey* cmd_enter;
    PanelKey* cmd_output;
    PanelKey* cmd_v;
    PanelKey* cmd_u;
    PanelKey* cmd_i;
    PanelKey* cmd_p;
    QPushButton* cmd_exit;
    ImageKey* cmd_add;
    ImageKey* cmd_sub;

    EntryBox* txt_v;
    EntryBox* txt_u;
    EntryBox* txt_i;
    EntryBox* txt_p;
    EntryBox* txt_plus;
    EntryBox* txt_minus;

    QLabel* dis_v;
    QLabel* dis_i;
    QLabel* dis_p;
    QLabel* dis_lv;
    QLabel* dis_li;
    QLabel* dis_lp;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* lbl_limit;
    QLabel* lbl_fine;
    QLabel* lbl_u;
    QLabel* lbl_i;
    QLabel* lbl_p;
    QLabel* lbl_overtemp;
    QLabel* lbl_output;
    QLabel* lbl_remote;
    QLabel* lbl_lock;
    QLabel* lbl_on;
    QLabel* lbl_off;
    QLabel* lbl_cmd;

    QStatusBar* SBar1;
    QTimer* Timer2;
    QTimer* Timer3;
    QTimer* tmr_flash;
    QSerialPort* MSComm1;
    int CommPort = 1; // COM1..COM4; set only while the port is closed
    QPointer<Form2> ProgressWindow;

    // Status bar panels 1 to 3.
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    // ---- Enable groups ----
    void SetPanelEnabled(bool value);
    void EnableGroupVLimit(bool value);
    void EnableGroupPLimit(bool value);
    void EnableGroupILimit(bool value);
    void EnableGroupEntry(bool value);
    void EnableGroupConnect(bool value);
    void EnableGroupPercent(bool value);
    void EnableGroupEdit(bool value);

    // ---- Start-up ----
    void InitModelTable();
    void Timer2_Timer();
    void cmd_exit_Click();

    // The one message box of the program (modal, OK button).
    void ShowMessage(const QString& text, const QString& title);
    // "Communication error!": the box, status panel 1 and the connect group off.
    void ReportCommunicationError();

    // ---- Command transport ----
    void SendCommand(const QString& command);
    QString ReadReply();
    void WaitSeconds(double seconds);
    // Opens the port if closed. Returns false when it cannot be opened.
    bool OpenPort();
    void ClosePort();

    // ---- Connection and polling ----
    void ConnectSupply();
    void CollectSupplyData();
    void Timer3_Timer();
    void PollMonitor();

    // ---- Rules shared by the keys ----
    // The power limit as the whole-watt product of the voltage and current limits.
    void UpdatePowerFromLimits();
    // Sends "I", reads one reply and takes the current limit from it.
    void ReadBackCurrentLimit();

    // ---- Set-point entry fields ----
    void cmd_v_MouseDown();
    void cmd_u_MouseDown();
    void cmd_i_MouseDown();
    void cmd_p_MouseDown();
    void txt_v_KeyUp(int key);
    void txt_u_KeyUp(int key);
    void txt_i_KeyUp(int key);
    void txt_p_KeyUp(int key);
    void txt_v_LostFocus();
    void txt_u_LostFocus();
    void txt_i_LostFocus();
    void txt_p_LostFocus();
    void ValidateVoltageSetEntry();
    void ValidateVoltageLimitEntry();
    void ValidateCurrentLimitEntry();
    void ValidatePowerLimitEntry();

    // ---- ENTER, CE, V SET ----
    void cmd_enter_MouseDown();
    void cmd_ce_MouseDown();
    void cmd_vset_MouseDown();

    // ---- Step adjust ----
    void cmd_add_MouseDown();
    void cmd_add_MouseUp();
    void cmd_sub_MouseDown();
    void cmd_sub_MouseUp();
    void StepUp();
    void StepDown();

    // ---- Limit keys ----
    void cmd_vlimit_MouseDown();
    void cmd_vlimit_MouseUp();
    void cmd_ilimit_MouseDown();
    void cmd_ilimit_MouseUp();
    void cmd_plimit_MouseDown();
    void cmd_plimit_MouseUp();

    // ---- Percent offset keys ----
    void cmd_plus_MouseDown();
    void cmd_minus_MouseDown();
    void cmd_normal_MouseDown();
    void txt_plus_KeyUp(int key);
    void txt_minus_KeyUp(int key);
    void txt_plus_LostFocus();
    void txt_minus_LostFocus();
    void ValidatePlusPercent();
    void ValidateMinusPercent();

    // ---- Output, lock, remote and fine keys ----
    void cmd_output_MouseDown();
    void cmd_lock_MouseDown();
    void cmd_lock_MouseUp();
    void cmd_rem_MouseDown();
    void cmd_n_MouseDown();
    void cmd_f_MouseDown();
    void tmr_flash_Timer();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ConnectEvents();

    bool polling_ = false;      // a poll is waiting for its reply
    bool reconnecting_ = false; // REM is waiting or connecting
    bool stepKeysHeld_ = false; // the up and down keys wait for a current-limit read-back
};
