// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the soft front panel. Its controls, the serial port, the timers and
// the progress window are its members; the whole window state is its base
// PanelState (panel_state.h), and it keeps no other state of its own. Its
// procedures are spread over the source folders by subsystem: shell/ (window,
// start-up, enable groups), link/ (the transport, connection and poll),
// panel/ (one file per key family). Below it are line/ (the serial line as
// text) and state/; the capabilities above it (access/, trend/) are joined to
// it by app/, and it knows none of them.
#pragma once

#include "panel_keys.h"
#include "panel_rules.h"
#include "panel_state.h"
#include "supply_commands.h"
#include "supply_link.h"

#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <QWidget>
#include <functional>

class QStatusBar;
class Form2;

// The three panels of the status bar SBar1.
enum class StatusPanel { Status = 1, Model = 2, Port = 3 };

class Form1 : public QWidget, public PanelState {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Ends the process at once, as EXIT does. Tests replace it to observe the
    // end without ending themselves.
    static void (*EndProgram)();

    // The machine's serial ports, from which COM1 to COM4 are chosen. Tests
    // replace it to make a pseudo-terminal look like a USB adapter.
    static QList<SerialPortDescription> (*ListSerialPorts)();

    // Load handler: refuses a second copy, fills the tables and arms the
    // start-up tick. Returns false when this copy must end: it has then shown
    // its message and called EndProgram.
    bool Form1_Load();

    // ---- Controls, with the names of the panel's design ----
    // The four frames: the readings, the keypad, and the entry pairs of the
    // bottom row (disabling a frame disables what is inside it).
    QGroupBox* frm_monitor;
    QGroupBox* frm_keypad;
    QGroupBox* frm_voltage;
    QGroupBox* frm_limit;

    // The keys: the keypad of frm_keypad (cmd_plus to cmd_output), the keys
    // of the entry boxes (cmd_v, cmd_u, cmd_i, cmd_p), EXIT, and the up and
    // down image keys (cmd_add, cmd_sub).
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

    // The entry boxes: the output voltage and the three limits (emptied when
    // left), and the two percent offsets (enabled only during their edit).
    EntryBox* txt_v;
    EntryBox* txt_u;
    EntryBox* txt_i;
    EntryBox* txt_p;
    EntryBox* txt_plus;
    EntryBox* txt_minus;

    // The displays of frm_monitor: measured voltage, current and power, then
    // the voltage, current and power limits.
    QLabel* dis_v;
    QLabel* dis_i;
    QLabel* dis_p;
    QLabel* dis_lv;
    QLabel* dis_li;
    QLabel* dis_lp;
    // The unit labels beside the displays, V, A and W beside dis_v, dis_i and
    // dis_p (Label1 to Label3) and beside the limits (Label4 to Label6), and
    // the captions "+%" and "-%" of the percent boxes (Label7, Label8).
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    // The indicators and headings of frm_monitor: "LIMITS", fine steps, the
    // constant-voltage, -current and -power marks (blinking during a limit
    // edit), over-temperature, "output", remote, locked, On and Off; and
    // lbl_cmd, the edit target beside the up and down keys.
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

    // The status bar with its three panels (StatusPanel), the timers, the
    // serial port, and the progress window, which exists only during a
    // connection (a window of its own, kept here beside the controls; the
    // user may close it).
    QStatusBar* SBar1;
    QTimer* Timer2;    // 10 ms, one shot: the connection at start-up
    QTimer* Timer3;    // 1 s: the monitor poll while the output is on
    QTimer* tmr_flash; // 500 ms: blinks FlashControl during a limit edit
    QTimer* tmr_drain; // one shot: looks again whether the line has room (WatchLineDrain)
    QSerialPort* MSComm1;
    QPointer<Form2> ProgressWindow;

    // The status bar's panels.
    QLabel* StatusPanelLabel(StatusPanel panel) const;
    void SetStatusText(StatusPanel panel, const QString& text);
    QString StatusText(StatusPanel panel) const;
    void SetStatusToolTip(StatusPanel panel, const QString& text);

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

    // The one message box of the program (modal, OK button), with details
    // behind its details button when there are any, and the icon given (none
    // for the supply's own messages). Returns when it is closed.
    void ShowMessage(const QString& text, const QString& title, const QString& details = {},
                     QMessageBox::Icon icon = QMessageBox::NoIcon);
    // "Communication error!": the box, status panel 1 and the connect group
    // off; REM on, to connect again. The scan's report: returns when the box
    // is closed.
    void ReportCommunicationError(const QString& details = {});
    // The same for a link lost after the connection (the transport's fifth
    // timeout in a row and every one after it). Returns at once: the poll, the
    // trend and the log go on behind the box. One box per loss: none while
    // one is open, and no other until a poll is answered again or REM is
    // pressed; the status text and the keys follow every report.
    void ReportLostLink();

    // ---- Command transport ----
    // No exchange with the supply is under way: no reply awaited, no pause,
    // no connection, and the start-up connection is not still to come. Code
    // that is not part of the panel (remote control) talks to the supply only
    // then, never from inside one of the panel's waits; IdleAgain says when.
    bool Idle() const;
    // The line has carried what was sent, but for a command's worth: what a
    // remote client sends faster than 2400 baud waits for it (and, through
    // TCP, the client too), rather than piling up in front of the polls.
    bool LineDrained() const;
    // After the port handed on what it held: IdleAgain once the line has room.
    void WatchLineDrain();
    // Writes command and CR if the port is usable; errors are ignored and
    // nothing is read. An empty command (one refused by its builder) is not sent.
    void SendCommand(const QString& command);
    // Waits up to 1 s, running events, for one reply line. On success: the
    // line without its lead character, LF kept, and ReplyPending cleared. On a
    // timeout: everything received so far, raw (empty when nothing came),
    // ReplyPending left set and TimeoutCount raised; the fifth timeout in a row
    // outside a connection reports the communication error.
    QString ReadReply();
    // Waits, running events, for the given time.
    void WaitSeconds(double seconds);
    // Opens the port of COM CommPort if closed: Opened, or why it could not
    // be opened (NotPresent, Denied, Busy, StaleLock, Failed).
    PortOpening OpenPort();
    void ClosePort();

    // ---- Connection and polling ----
    // Scans COM1 to COM4 and reads the supply's settings. Can end the program
    // (see CollectSupplyData).
    void ConnectSupply();
    // Chooses the devices of COM1 to COM4 anew from the ports listed now.
    void MapComPorts();
    // The device of COM n as last chosen; empty when it has none.
    QString ComPortDevice(int n) const;
    // Reads every setting and identifies the model. When the model query stays
    // unanswered it shows the communication error and calls EndProgram.
    void CollectSupplyData();
    // After the model query: gives the supply back the voltage limit of the
    // status line that "SUM" replaced. row is the model's, or -1 if unknown.
    void RestoreVoltageLimit(int row);
    void Timer3_Timer();
    // One status exchange taken into the panel: the status line it took, or
    // nothing when the reply was none.
    std::optional<StatusLine> PollMonitor();

    // ---- Rules shared by the keys ----
    // The most a set command may carry for the connected model.
    float SetMaximum(SetValue value) const;
    // Sends the set command for value, unless amount is beyond what the model
    // can hold (SetCommand says which amounts are refused).
    void SendSetCommand(SetValue value, double amount);
    // The power limit as the whole-watt product of the voltage and current limits.
    void UpdatePowerFromLimits();
    // Sends "I", reads one reply and takes the current limit from it.
    void ReadBackCurrentLimit();
    // Each display written from its member with its pattern.
    void ShowVoltageSet();
    void ShowVoltageLimit();
    void ShowCurrentLimit();
    void ShowPowerLimit();
    // A new voltage (current) limit on its display and in its box, and the
    // power limit that follows from it on dis_lp and in txt_p.
    void EchoVoltageLimit();
    void EchoCurrentLimit();
    // The power limit on dis_lp and in txt_p.
    void EchoPowerLimit();
    // lbl_on or lbl_off after OutputOn; lbl_overtemp after OverTemp.
    void ShowOutputState();
    void ShowOverTemp();
    // The supply pulls its set-point down to a lower voltage limit by itself;
    // the panel follows.
    void PullSetpointToLimit();
    // A press or release of a key: carried out at once, or after the remote
    // command under way (KeysHeld).
    void RunKeyAction(const std::function<void()>& action);
    // Carries out work with the keys held back, then what they did meanwhile.
    void HoldKeysWhile(const std::function<void()>& work);
    // Whether LOCK or a limit key, in the release being handled, was held for
    // a long press from its press to the time it came up. A hold across
    // midnight gives a negative time and counts as short.
    bool HeldLong() const;

    // ---- Set-point entry fields ----
    // What the four keys do with the value of their box, once it is known to
    // lie in EntryRangeOf: it is stored, shown and sent (the power limit's
    // current limit read back with the output off). Remote control sets the
    // values through them too. shown is what dis_lv takes: the box's text as
    // typed, which may carry more than the number.
    void EnterVoltageSet(float volts);
    void EnterVoltageLimit(float volts, const QString& shown);
    void EnterCurrentLimit(float amperes);
    void EnterPowerLimit(float watts);
    // The range that a value for a setting must lie in now: the set-point up
    // to the voltage limit, the voltage and current limits from their least
    // to the model's maximum, the power limit up to the model's current at
    // the voltage limit. A typed value beyond it is replaced by its bound.
    EntryRange EntryRangeOf(SetValue value) const;
    void cmd_v_MouseDown();
    void cmd_u_MouseDown();
    void cmd_i_MouseDown();
    void cmd_p_MouseDown();
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
    // Drops the open limit or percent edit without sending anything: the
    // blinking stops, the percent boxes close and the idle target returns. REM
    // after a lost link does this; the connection then reads every value back.
    void AbandonEdit();

    // ---- Step adjust ----
    void cmd_add_MouseDown();
    void cmd_add_MouseUp();
    void cmd_sub_MouseDown();
    void cmd_sub_MouseUp();
    void StepUp();
    void StepDown();
    // Runs work with the up and down keys held back, then carries out, in
    // order, each press of theirs that came meanwhile.
    void HoldStepKeysWhile(const std::function<void()>& work);

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
    void txt_plus_LostFocus();
    void txt_minus_LostFocus();
    void ValidatePlusPercent();
    void ValidateMinusPercent();

    // ---- Output, lock, remote and fine keys ----
    // Their rules, which remote control runs too: the output switched over
    // (and the poll with it); the panel locked or unlocked; REM's new
    // connection; fine or normal steps.
    void ToggleOutput();
    void LockPanel(bool locked);
    void Reconnect();
    void SelectStepSize(bool fine);
    void cmd_output_MouseDown();
    void cmd_lock_MouseDown();
    void cmd_lock_MouseUp();
    void cmd_rem_MouseDown();
    void cmd_n_MouseDown();
    void cmd_f_MouseDown();
    void tmr_flash_Timer();

signals:
    // The last wait or connection under way has ended (see Idle).
    void IdleAgain();
    // A connection found the supply and took this status line.
    void ConnectionMade(const StatusLine& status);
    // A monitor poll took this status line.
    void PollTaken(const StatusLine& status);
    // A monitor poll whose reply was no status line.
    void PollMissed();
    // The link is reported lost (the transport's fifth timeout in a row, and
    // every one after it), before the keys that need the supply go off.
    void LinkLostReported();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ConnectEvents();
    // Status panel 1, the connect group and REM after a communication error.
    void ShowCommunicationError();
    // The lost-link box is up, waiting for OK.
    bool LostLinkBoxOpen() const;

    // A press of the up or down key: +1 up, -1 down; held back while the keys
    // wait (StepKeysHeld).
    void PressStepKey(ImageKey* key, Direction direction);
};
