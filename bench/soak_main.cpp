// Fault soak: the real panel window, in this process, against zrm-sim for a
// given time, with the output on and keys pressed and values typed at random,
// while the simulated supply goes silent, answers late, sends garbage, cuts
// and spoils its status line, drops commands, is unplugged and replugged and
// power-cycled. Afterwards the faults stop, REM must reconnect and the
// displays must agree with the supply again.
//
//   soak SECONDS [--seed N] [--max-growth-mb MB]
//
// Fails (exit status 1) when the final check fails, when the event loop stalls
// for longer than the panel's longest wait (plus a margin), when the resident
// memory grows beyond the bound after the first round of faults, or when the
// simulator ends abnormally. A crash or a sanitizer report ends the process
// with a failing status of its own.
#include "main_window.h"
#include "panel_checks.h"
#include "panel_harness.h"
#include "sim_panel.h"
#include "sim_process.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>
#ifdef __SANITIZE_ADDRESS__
// The sanitizer's own count of live heap bytes (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// The panel's longest wait runs events throughout (a reply timeout or REM's
// pause, 1 s); the event loop must never stand still for longer than that,
// with a margin for a loaded machine.
constexpr qint64 kStallLimitMs = 2000;
// The watchdog thread ends a soak whose event loop has stopped altogether.
constexpr qint64 kHangAbortMs = 60000;
constexpr int kBeatMs = 50;
// Presses while a key handler waits run nested inside it; a user does not
// keep that up for long, so the soak stops adding levels here.
constexpr int kMaxNesting = 4;
// A panel with nothing usable but EXIT for this long is ended and started
// again, as a user would do.
constexpr qint64 kDeadEndMs = 5000;
// How often a long soak tells how it is going.
constexpr qint64 kReportMs = 300000;

enum class Fault {
    Silent,
    Late,
    Garbage,
    Unplug,
    OverTemp,
    KeysLocked,
    Load,
    PowerCycle,
    TruncateStatus,
    BadDigit,
    Drop,
    SilentAfter,
};
constexpr int kFaultKinds = 12;

const char* FaultName(Fault fault) {
    static const char* const names[kFaultKinds] = {
        "silent",           "late replies", "garbage",          "unplug/replug",
        "over-temperature", "keys locked",  "load change",      "power cycle",
        "truncated status", "bad digit",    "dropped commands", "silent after N",
    };
    return names[static_cast<int>(fault)];
}

qint64 ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
        }
    }
    return 0;
}

// Resident memory, and under AddressSanitizer the live heap as well: there
// the sanitizer's quarantine of freed blocks and its records of allocation
// stacks grow the resident memory by themselves, so the heap is the measure.
struct Memory {
    qint64 residentKb = 0;
    qint64 heapKb = -1;

    static Memory Now() {
        Memory memory;
        memory.residentKb = ResidentKb();
#ifdef __SANITIZE_ADDRESS__
        memory.heapKb = static_cast<qint64>(__sanitizer_get_current_allocated_bytes() / 1024);
#endif
        return memory;
    }
    qint64 JudgedKb() const {
        return heapKb >= 0 ? heapKb : residentKb;
    }
};

// Qt's warnings, counted; each different one is shown once.
QMap<QString, int> g_warnings;
void CountMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) {
        return;
    }
    if (g_warnings[text]++ == 0) {
        std::fprintf(stderr, "Qt: %s\n", qPrintable(text));
    }
    if (type == QtFatalMsg) {
        std::abort();
    }
}

struct Options {
    int seconds = 600;
    quint32 seed = 0;
    double maxGrowthMb = 8;
};

class Soak {
public:
    explicit Soak(const Options& options);
    int Run();

private:
    // The supply.
    bool StartSupply(const QMap<QString, QString>& settings, const QStringList& faultArgs);
    void RestartSupply(const QStringList& faultArgs);
    void CountSupplyLog();
    // The faults, one at a time.
    void BeginFault(Fault fault);
    void EndFault();
    void ClearAllFaults();
    void NextFaultStep();
    // The panel.
    bool StartPanel();
    void RestartPanel();
    bool AnyKeyUsable() const;
    // The user.
    void UserTick();
    void PressRandomKey();
    void TypeRandomValue();
    void Release(QWidget* key, Qt::MouseButton button);
    // The end.
    bool MakeRemUsable();
    QString FinalMismatches();
    // The event loop's pulse.
    void Beat();
    void HarnessBusy(bool busy);

    int Random(int low, int high) { return std::uniform_int_distribution(low, high)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    Options options_;
    std::mt19937 rng_;
    QTemporaryDir work_;
    QString link_;
    std::unique_ptr<SimProcess> sim_;
    QStringList simFaultArgs_;
    std::unique_ptr<MessageBoxCloser> boxes_;
    EndProgramRecorder ends_; // counts the panel's ends instead of taking them
    std::unique_ptr<Form1> panel_;

    bool driving_ = false;
    bool keyHeld_ = false;
    int nesting_ = 0;
    int maxNesting_ = 0;
    QTimer userTimer_;

    std::optional<Fault> fault_;
    bool unplugged_ = false;
    int firstRoundLeft_ = kFaultKinds;
    QElapsedTimer faultClock_;
    qint64 faultStepMs_ = 0;
    QElapsedTimer deadEndClock_;

    QTimer beatTimer_;
    QElapsedTimer beatClock_;
    std::atomic<qint64> lastBeatMs_{0};
    std::atomic<bool> harnessBusy_{false};
    std::atomic<bool> finished_{false};
    qint64 maxStallMs_ = 0;
    int stalls_ = 0;

    QMap<QString, int> presses_;
    int typedValues_ = 0;
    int faults_[kFaultKinds] = {};
    int statusQueries_ = 0;
    int pollTicks_ = 0;
    int messageBoxes_ = 0;
    int panelRestarts_ = 0;
    int supplyStarts_ = 0;
    int supplyFailures_ = 0;
};

Soak::Soak(const Options& options) : options_(options), rng_(options.seed) {
    link_ = work_.filePath(QStringLiteral("com1"));
    userTimer_.setSingleShot(true);
    QObject::connect(&userTimer_, &QTimer::timeout, [this] { UserTick(); });
    beatTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beatTimer_, &QTimer::timeout, [this] { Beat(); });
}

void Soak::Beat() {
    const qint64 now = beatClock_.elapsed();
    const qint64 last = lastBeatMs_.exchange(now);
    if (harnessBusy_) {
        return;
    }
    const qint64 stall = now - last - kBeatMs;
    maxStallMs_ = std::max(maxStallMs_, stall);
    if (stall > kStallLimitMs) {
        ++stalls_;
        std::fprintf(stderr, "event loop stood still for %lld ms\n", static_cast<long long>(stall));
    }
}

// The soak's own blocking steps (starting and ending processes) are not the
// panel's stalls.
void Soak::HarnessBusy(bool busy) {
    harnessBusy_ = busy;
    lastBeatMs_ = beatClock_.elapsed();
}

bool Soak::StartSupply(const QMap<QString, QString>& settings, const QStringList& faultArgs) {
    QStringList args{"--link", link_};
    const auto value = [&](const char* key, const char* option) {
        if (settings.contains(key)) {
            args << option << settings.value(key);
        }
    };
    value("model", "--model");
    value("vset", "--vset");
    value("vlimit", "--vlimit");
    value("ilimit", "--ilimit");
    value("plimit", "--plimit");
    value("plus", "--plus");
    value("minus", "--minus");
    value("load", "--load-ohms");
    const auto flag = [&](const char* key, const char* option) {
        if (settings.value(key) == u"1") {
            args << option;
        }
    };
    flag("output", "--output-on");
    flag("fine", "--fine");
    flag("locked", "--locked");
    flag("overtemp", "--overtemp");

    HarnessBusy(true);
    sim_ = std::make_unique<SimProcess>();
    const bool started = !sim_->Start(args + faultArgs).isEmpty();
    HarnessBusy(false);
    simFaultArgs_ = faultArgs;
    unplugged_ = false;
    ++supplyStarts_;
    if (!started) {
        ++supplyFailures_;
        std::fprintf(stderr, "zrm-sim did not start\n");
    }
    return started;
}

void Soak::CountSupplyLog() {
    statusQueries_ += static_cast<int>(sim_->LoggedCommands().count(QStringLiteral("L")));
}

// Ends the simulator and starts it again with the same settings, as a supply
// that is switched off and on (its port goes away meanwhile).
void Soak::RestartSupply(const QStringList& faultArgs) {
    const QMap<QString, QString> settings = sim_->State();
    CountSupplyLog();
    HarnessBusy(true);
    if (!sim_->Stop()) {
        ++supplyFailures_;
        std::fprintf(stderr, "zrm-sim ended abnormally\n");
    }
    HarnessBusy(false);
    StartSupply(settings, faultArgs);
}

void Soak::BeginFault(Fault fault) {
    fault_ = fault;
    ++faults_[static_cast<int>(fault)];
    switch (fault) {
    case Fault::Silent:
        sim_->Control("silent 1");
        break;
    case Fault::Late:
        // Beyond the 1 s reply timeout too: a late reply then answers the
        // next question.
        sim_->Control(QStringLiteral("late %1").arg(Random(100, 2500)));
        break;
    case Fault::Garbage:
        sim_->Control("garbage 1");
        break;
    case Fault::Unplug:
        sim_->Control("unplug");
        unplugged_ = true;
        break;
    case Fault::OverTemp:
        sim_->Control("overtemp 1");
        break;
    case Fault::KeysLocked:
        sim_->Control("locked 1");
        break;
    case Fault::Load: {
        static const char* const loads[] = {"0.5", "2", "50", "1000"};
        sim_->Control(QStringLiteral("load %1").arg(loads[Random(0, 3)]));
        break;
    }
    case Fault::PowerCycle:
        RestartSupply({});
        break;
    case Fault::TruncateStatus:
        RestartSupply({"--truncate-status", QString::number(Random(0, 40))});
        break;
    case Fault::BadDigit:
        RestartSupply({"--bad-digit", QString::number(Random(1, 36))});
        break;
    case Fault::Drop: {
        static const char* const commands[] = {"L", "B", "D", "U", "I"};
        QStringList dropped;
        for (const char* command : commands) {
            if (Chance(0.4)) {
                dropped << command;
            }
        }
        RestartSupply({"--drop", dropped.isEmpty() ? QStringLiteral("U") : dropped.join(',')});
        break;
    }
    case Fault::SilentAfter:
        RestartSupply({"--silent-after", QString::number(Random(0, 6))});
        break;
    }
}

void Soak::EndFault() {
    if (!fault_) {
        return;
    }
    switch (*fault_) {
    case Fault::Silent:
    case Fault::SilentAfter:
        sim_->Control("silent 0");
        break;
    case Fault::Late:
        sim_->Control("late 0");
        break;
    case Fault::Garbage:
        sim_->Control("garbage 0");
        break;
    case Fault::Unplug:
        HarnessBusy(true);
        sim_->Replug();
        HarnessBusy(false);
        unplugged_ = false;
        break;
    case Fault::OverTemp:
        sim_->Control("overtemp 0");
        break;
    case Fault::KeysLocked:
        sim_->Control("locked 0");
        break;
    case Fault::Load:
        sim_->Control("load 10");
        break;
    case Fault::PowerCycle:
        break;
    case Fault::TruncateStatus:
    case Fault::BadDigit:
    case Fault::Drop:
        RestartSupply({});
        break;
    }
    fault_.reset();
}

// Leaves the supply healthy, unlocked and cool, on its usual load.
void Soak::ClearAllFaults() {
    EndFault();
    for (const char* line :
         {"silent 0", "late 0", "garbage 0", "overtemp 0", "locked 0", "load 10"}) {
        sim_->Control(line);
    }
    if (unplugged_) {
        sim_->Replug();
        unplugged_ = false;
    }
    if (!simFaultArgs_.isEmpty()) {
        RestartSupply({});
    }
}

// Faults and quiet spells take turns. The first round brings every kind of
// fault once, in order; after it they come at random.
void Soak::NextFaultStep() {
    if (faultClock_.elapsed() < faultStepMs_) {
        return;
    }
    faultClock_.restart();
    if (fault_) {
        EndFault();
        faultStepMs_ = Random(1000, 4000);
        return;
    }
    const int kind =
        firstRoundLeft_ > 0 ? kFaultKinds - firstRoundLeft_-- : Random(0, kFaultKinds - 1);
    BeginFault(static_cast<Fault>(kind));
    faultStepMs_ = Random(2000, 6000);
}

bool Soak::StartPanel() {
    panel_ = std::make_unique<Form1>();
    QObject::connect(panel_->Timer3, &QTimer::timeout, panel_.get(), [this] { ++pollTicks_; });
    if (!::StartPanel(*panel_)) {
        return false;
    }
    ActivatePanel(*panel_);
    deadEndClock_.restart();
    return true;
}

// EXIT and a new start, done here rather than through EXIT, which ends the
// process.
void Soak::RestartPanel() {
    ++panelRestarts_;
    // A pending release goes with the old panel.
    keyHeld_ = false;
    panel_.reset();
    StartPanel();
}

bool Soak::AnyKeyUsable() const {
    for (const QWidget* key : panel_->findChildren<QWidget*>()) {
        const bool isKey = qobject_cast<const PanelKey*>(key) || qobject_cast<const ImageKey*>(key);
        if (isKey && key->isEnabled()) {
            return true;
        }
    }
    return false;
}

void Soak::UserTick() {
    userTimer_.start(Random(80, 300));
    if (!driving_ || keyHeld_ || nesting_ >= kMaxNesting ||
        QApplication::activeModalWidget() != nullptr) {
        return;
    }
    ++nesting_;
    maxNesting_ = std::max(maxNesting_, nesting_);
    if (Chance(0.2)) {
        TypeRandomValue();
    } else {
        PressRandomKey();
    }
    --nesting_;
}

void Soak::PressRandomKey() {
    // Every key but EXIT; OUTPUT more often while the output is off, so the
    // soak spends its time polling, and REM while the port is closed.
    std::vector<QWidget*> keys;
    std::vector<double> weights;
    for (QWidget* key : panel_->findChildren<QWidget*>()) {
        if (!(qobject_cast<PanelKey*>(key) || qobject_cast<ImageKey*>(key)) || !key->isEnabled() ||
            !key->isVisible()) {
            continue;
        }
        double weight = 2;
        if (key == panel_->cmd_rem) {
            // A user reconnects soon after the supply went away.
            const QSerialPort& port = *panel_->MSComm1;
            weight = port.isOpen() && port.error() != QSerialPort::ResourceError ? 1 : 10;
        } else if (key == panel_->cmd_output) {
            weight = panel_->OutputOn == 1 ? 1 : 12;
        }
        keys.push_back(key);
        weights.push_back(weight);
    }
    if (keys.empty()) {
        return;
    }
    QWidget* key = keys[std::discrete_distribution<size_t>(weights.begin(), weights.end())(rng_)];
    const Qt::MouseButton button =
        Chance(0.85) ? Qt::LeftButton : (Chance(0.7) ? Qt::RightButton : Qt::MiddleButton);
    // Long holds reach the 1.5 s of LOCK and the limit keys.
    const int holdMs = Chance(0.25) ? Random(1400, 2600) : Random(20, 300);
    ++presses_[key->objectName()];
    keyHeld_ = true;
    // Armed first: a press handler that waits sees its key released meanwhile,
    // and then further presses, as with a quick user.
    QTimer::singleShot(holdMs, panel_.get(), [this, key, button] { Release(key, button); });
    QTest::mousePress(key, button);
}

// The release waits while a message box blocks the window.
void Soak::Release(QWidget* key, Qt::MouseButton button) {
    if (QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(50, panel_.get(), [this, key, button] { Release(key, button); });
        return;
    }
    keyHeld_ = false;
    if (key->isEnabled()) {
        QTest::mouseRelease(key, button);
    }
}

void Soak::TypeRandomValue() {
    const std::pair<EntryBox*, PanelKey*> boxes[] = {
        {panel_->txt_v, panel_->cmd_v}, {panel_->txt_u, panel_->cmd_u},
        {panel_->txt_i, panel_->cmd_i}, {panel_->txt_p, panel_->cmd_p},
        {panel_->txt_plus, nullptr},    {panel_->txt_minus, nullptr},
    };
    std::vector<std::pair<EntryBox*, PanelKey*>> usable;
    for (const auto& entry : boxes) {
        if (entry.first->isEnabled() && entry.first->isVisible()) {
            usable.push_back(entry);
        }
    }
    if (usable.empty()) {
        return;
    }
    static const char* const texts[] = {"7.5", "0",   "12.34", "60", "99", "1E99", "-3",
                                        "abc", "105", "150",   "49", ".",  "5e",   "3.5"};
    const auto [box, key] = usable[static_cast<size_t>(Random(0, int(usable.size()) - 1))];
    box->selectAll();
    TypeInto(box, QString::fromLatin1(texts[Random(0, int(std::size(texts)) - 1)]));
    ++typedValues_;
    if (key != nullptr && key->isEnabled() && Chance(0.5)) {
        ++presses_[key->objectName()];
        Click(key);
    } else if (Chance(0.8)) {
        QTest::keyClick(box, Qt::Key_Return);
    }
}

// Closes whatever edit holds REM back (CE, ENTER, NORMAL), unlocks the panel
// (a long LOCK), or as a last resort starts the panel again.
bool Soak::MakeRemUsable() {
    for (int attempt = 0; attempt < 12; ++attempt) {
        if (!QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }, 10000)) {
            continue;
        }
        Form1& p = *panel_;
        if (p.cmd_rem->isEnabled()) {
            return true;
        }
        PanelKey* const closers[] = {p.cmd_ce, p.cmd_enter, p.cmd_normal};
        if (attempt % 4 < 3) {
            if (closers[attempt % 4]->isEnabled()) {
                Click(closers[attempt % 4]);
            }
        } else if (p.cmd_lock->isEnabled()) {
            QTest::mousePress(p.cmd_lock, Qt::LeftButton);
            QTest::qWait(1800);
            QTest::mouseRelease(p.cmd_lock, Qt::LeftButton);
        } else {
            RestartPanel();
        }
        QTest::qWait(300);
    }
    return false;
}

// What the panel shows against what the supply holds.
QString Soak::FinalMismatches() {
    Form1& p = *panel_;
    const QMap<QString, QString> state = sim_->State();
    QStringList shown{"dis_lv=" + state.value("vlimit"), "dis_li=" + state.value("ilimit"),
                      "dis_lp=" + state.value("plimit")};
    QString report = ShownMismatches(p, shown);
    // With the output on, dis_v shows the measured voltage, which the
    // set-point bounds.
    if (LeadingNumber(p.dis_v->text()) > LeadingNumber(state.value("vset")) + 0.005) {
        report += QStringLiteral("dis_v \"%1\" above the set-point %2; ")
                      .arg(p.dis_v->text(), state.value("vset"));
    }
    const auto number = [&](const char* name, const QString& text, const char* key) {
        if (LeadingNumber(text) != LeadingNumber(state.value(key))) {
            report += QStringLiteral("%1 \"%2\", the supply %3; ")
                          .arg(QLatin1String(name), text.trimmed(), state.value(key));
        }
    };
    number("txt_plus", p.txt_plus->text(), "plus");
    number("txt_minus", p.txt_minus->text(), "minus");
    const auto indicator = [&](const QLabel* label, bool expected) {
        if (label->isHidden() == expected) {
            report +=
                QStringLiteral("%1 %2; ").arg(label->objectName(), expected ? "hidden" : "shown");
        }
    };
    indicator(p.lbl_on, state.value("output") == u"1");
    indicator(p.lbl_off, state.value("output") != u"1");
    indicator(p.lbl_fine, state.value("fine") == u"1");
    indicator(p.lbl_overtemp, state.value("overtemp") == u"1");
    indicator(p.lbl_lock, false);
    if (p.StatusText(1) != u"Ready" || p.StatusText(2) != state.value("model")) {
        report += QStringLiteral("status \"%1\" \"%2\"; ").arg(p.StatusText(1), p.StatusText(2));
    }
    if (p.TimeoutCount != 0) {
        report += QStringLiteral("TimeoutCount %1 after good polls; ").arg(p.TimeoutCount);
    }
    return report;
}

int Soak::Run() {
    beatClock_.start();
    beatTimer_.start(kBeatMs);
    std::thread watchdog([this] {
        while (!finished_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (!harnessBusy_ && beatClock_.elapsed() - lastBeatMs_ > kHangAbortMs) {
                std::fprintf(stderr, "the event loop hangs; ending the soak\n");
                std::abort();
            }
        }
    });
    const auto finish = [&](int status) {
        finished_ = true;
        watchdog.join();
        return status;
    };

    boxes_ = std::make_unique<MessageBoxCloser>();
    if (!StartSupply({{"output", "1"}}, {})) {
        return finish(1);
    }
    PointComPorts({link_});
    if (!StartPanel() || panel_->StatusText(1) != u"Ready") {
        std::fprintf(stderr, "the panel did not connect\n");
        return finish(1);
    }
    const Memory start = Memory::Now();
    std::optional<Memory> baseline;

    QElapsedTimer clock;
    clock.start();
    qint64 nextReportMs = kReportMs;
    faultClock_.start();
    driving_ = true;
    userTimer_.start(200);
    while (clock.elapsed() < qint64(options_.seconds) * 1000) {
        QTest::qWait(100);
        // Only here, with no handler of the panel under way, may the soak
        // replace the panel or the supply.
        NextFaultStep();
        if (AnyKeyUsable() || QApplication::activeModalWidget() != nullptr) {
            deadEndClock_.restart();
        } else if (deadEndClock_.elapsed() > kDeadEndMs) {
            std::printf("%6.1f s: nothing but EXIT usable (status \"%s\", edit target %s, "
                        "locked label %s); the panel is started again\n",
                        double(clock.elapsed()) / 1000, qPrintable(panel_->StatusText(1)),
                        qPrintable(panel_->EditTarget),
                        panel_->lbl_lock->isHidden() ? "hidden" : "shown");
            RestartPanel();
        }
        messageBoxes_ += boxes_->Count();
        boxes_->Clear();
        if (clock.elapsed() >= nextReportMs) {
            nextReportMs += kReportMs;
            const Memory now = Memory::Now();
            const QString heap =
                now.heapKb >= 0 ? QStringLiteral(", live heap %1 kB").arg(now.heapKb) : QString();
            std::printf("%6.0f s: resident %lld kB%s, %d Timer3 ticks, %d message boxes, %d "
                        "panel restarts\n",
                        double(clock.elapsed()) / 1000, static_cast<long long>(now.residentKb),
                        qPrintable(heap), pollTicks_, messageBoxes_, panelRestarts_);
            std::fflush(stdout);
        }
        const bool firstRoundOver = firstRoundLeft_ == 0 && !fault_;
        if (!baseline && (firstRoundOver || clock.elapsed() > qint64(options_.seconds) * 500)) {
            baseline = Memory::Now();
        }
    }

    driving_ = false;
    if (!QTest::qWaitFor([this] { return !keyHeld_; }, 10000)) {
        std::fprintf(stderr, "a held key was never released\n");
    }
    ClearAllFaults();
    QString mismatches;
    if (!MakeRemUsable()) {
        mismatches = QStringLiteral("REM stayed disabled; ");
    } else {
        ++presses_[QStringLiteral("cmd_rem (final)")];
        Click(panel_->cmd_rem);
        if (panel_->OutputOn != 1) {
            ++presses_[QStringLiteral("cmd_output (final)")];
            Click(panel_->cmd_output);
        }
        // Polls bring the limits that the connection changed: wait until the
        // displays agree, or report what still differs.
        if (!QTest::qWaitFor([this] { return FinalMismatches().isEmpty(); }, 10000)) {
            mismatches = FinalMismatches();
        }
    }
    messageBoxes_ += boxes_->Count();
    const Memory end = Memory::Now();
    CountSupplyLog();

    int presses = 0;
    std::printf("Soak of %d s, seed %u\n", options_.seconds, options_.seed);
    std::printf("Key presses:            ");
    for (auto it = presses_.cbegin(); it != presses_.cend(); ++it) {
        presses += it.value();
        std::printf(" %s %d", qPrintable(it.key()), it.value());
    }
    std::printf("\n  total %d, typed values %d, deepest nesting %d\n", presses, typedValues_,
                maxNesting_);
    std::printf("Faults:                 ");
    int faults = 0;
    for (int kind = 0; kind < kFaultKinds; ++kind) {
        faults += faults_[kind];
        std::printf(" %s %d,", FaultName(static_cast<Fault>(kind)), faults_[kind]);
    }
    std::printf("\n  total %d; simulator started %d times\n", faults, supplyStarts_);
    std::printf("Polls:                   %d Timer3 ticks, %d status queries received by the "
                "supply\n",
                pollTicks_, statusQueries_);
    std::printf("Message boxes:           %d; program ends asked for %d; panel restarts %d\n",
                messageBoxes_, EndProgramRecorder::Count(), panelRestarts_);
    std::printf("Qt warnings:             %d kinds\n", static_cast<int>(g_warnings.size()));
    std::printf("Event loop:              longest stall %lld ms (limit %lld), %d over the limit\n",
                static_cast<long long>(maxStallMs_), static_cast<long long>(kStallLimitMs),
                stalls_);
    if (!baseline) {
        baseline = start;
    }
    std::printf("Resident memory:         start %lld kB, after the first round %lld kB, end %lld "
                "kB\n",
                static_cast<long long>(start.residentKb),
                static_cast<long long>(baseline->residentKb),
                static_cast<long long>(end.residentKb));
    if (end.heapKb >= 0) {
        std::printf("Live heap:               start %lld kB, after the first round %lld kB, end "
                    "%lld kB\n",
                    static_cast<long long>(start.heapKb), static_cast<long long>(baseline->heapKb),
                    static_cast<long long>(end.heapKb));
    }
    const double growthMb = double(end.JudgedKb() - baseline->JudgedKb()) / 1024;

    bool failed = false;
    const auto verdict = [&](bool ok, const QString& what) {
        std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
        failed = failed || !ok;
    };
    verdict(mismatches.isEmpty(), "REM reconnects and the displays agree with the supply" +
                                      (mismatches.isEmpty() ? QString() : ": " + mismatches));
    verdict(stalls_ == 0, QStringLiteral("no stall of the event loop over the limit"));
    verdict(growthMb <= options_.maxGrowthMb,
            QStringLiteral("%1 grew %2 MB after the first round, limit %3 MB")
                .arg(end.heapKb >= 0 ? "live heap" : "resident memory")
                .arg(growthMb, 0, 'f', 1)
                .arg(options_.maxGrowthMb, 0, 'f', 1));
    verdict(supplyFailures_ == 0,
            QStringLiteral("the simulator always started and ended normally"));

    panel_.reset();
    boxes_.reset();
    sim_.reset();
    return finish(failed ? 1 : 0);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A runtime folder of its own, so the panel's single-copy lock never meets
    // a panel that runs beside the soak.
    static QTemporaryDir runtime; // outlives the panel's lock file
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qInstallMessageHandler(CountMessage);
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Drives the panel against zrm-sim with faults for SECONDS."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("SECONDS"), QStringLiteral("length of the soak"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("random seed"),
                                  QStringLiteral("N"));
    const QCommandLineOption growth(QStringLiteral("max-growth-mb"),
                                    QStringLiteral("allowed growth of resident memory (8)"),
                                    QStringLiteral("MB"));
    parser.addOptions({seed, growth});
    parser.process(app);

    Options options;
    if (!parser.positionalArguments().isEmpty()) {
        options.seconds = parser.positionalArguments().first().toInt();
    }
    options.seed = parser.isSet(seed) ? parser.value(seed).toUInt() : std::random_device{}();
    if (parser.isSet(growth)) {
        options.maxGrowthMb = parser.value(growth).toDouble();
    }
    if (options.seconds <= 0) {
        parser.showHelp(2);
    }
    return Soak(options).Run();
}
