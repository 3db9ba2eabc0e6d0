// SPDX-License-Identifier: GPL-3.0-or-later
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
//
// This file is the driver: the panel, the random user, the event loop's pulse
// and the final check. The faults are in soak_faults, the figures and the
// verdicts in soak_report.
#include "main_window.h"
#include "panel_checks.h"
#include "panel_harness.h"
#include "process_figures.h"
#include "sim_panel.h"
#include "sim_process.h"
#include "soak_faults.h"
#include "soak_report.h"

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

    int Random(int low, int high) { return random_.Random(low, high); }
    bool Chance(double p) { return random_.Chance(p); }

    Options options_;
    SoakRandom random_;
    QTemporaryDir work_;
    std::unique_ptr<FaultSchedule> faults_;
    std::unique_ptr<MessageBoxCloser> boxes_;
    EndProgramRecorder ends_; // counts the panel's ends instead of taking them
    std::unique_ptr<Form1> panel_;

    bool driving_ = false;
    bool keyHeld_ = false;
    int nesting_ = 0;
    QTimer userTimer_;
    QElapsedTimer deadEndClock_;

    QTimer beatTimer_;
    QElapsedTimer beatClock_;
    std::atomic<qint64> lastBeatMs_{0};
    std::atomic<bool> harnessBusy_{false};
    std::atomic<bool> finished_{false};

    SoakFigures figures_;
};

Soak::Soak(const Options& options) : options_(options), random_(options.seed) {
    faults_ = std::make_unique<FaultSchedule>(random_, work_.filePath(QStringLiteral("com1")),
                                              [this](bool busy) { HarnessBusy(busy); });
    figures_.seconds = options.seconds;
    figures_.seed = options.seed;
    figures_.maxGrowthMb = options.maxGrowthMb;
    figures_.stallLimitMs = kStallLimitMs;
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
    figures_.maxStallMs = std::max(figures_.maxStallMs, stall);
    if (stall > kStallLimitMs) {
        ++figures_.stalls;
        std::fprintf(stderr, "event loop stood still for %lld ms\n", static_cast<long long>(stall));
    }
}

// The soak's own blocking steps (starting and ending processes) are not the
// panel's stalls.
void Soak::HarnessBusy(bool busy) {
    harnessBusy_ = busy;
    lastBeatMs_ = beatClock_.elapsed();
}

bool Soak::StartPanel() {
    panel_ = MakePanel();
    QObject::connect(panel_->Timer3, &QTimer::timeout, panel_.get(),
                     [this] { ++figures_.pollTicks; });
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
    ++figures_.panelRestarts;
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
    figures_.maxNesting = std::max(figures_.maxNesting, nesting_);
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
    QWidget* key =
        keys[std::discrete_distribution<size_t>(weights.begin(), weights.end())(random_.engine())];
    const Qt::MouseButton button =
        Chance(0.85) ? Qt::LeftButton : (Chance(0.7) ? Qt::RightButton : Qt::MiddleButton);
    // Long holds reach the 1.5 s of LOCK and the limit keys.
    const int holdMs = Chance(0.25) ? Random(1400, 2600) : Random(20, 300);
    ++figures_.presses[key->objectName()];
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
    ++figures_.typedValues;
    if (key != nullptr && key->isEnabled() && Chance(0.5)) {
        ++figures_.presses[key->objectName()];
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
    const QMap<QString, QString> state = faults_->sim().State();
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
    if (p.StatusText(StatusPanel::Status) != StatusPanel1::Ready ||
        p.StatusText(StatusPanel::Model) != state.value("model")) {
        report += QStringLiteral("status \"%1\" \"%2\"; ")
                      .arg(p.StatusText(StatusPanel::Status), p.StatusText(StatusPanel::Model));
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
    if (!faults_->StartSupply({{"output", "1"}}, {})) {
        return finish(1);
    }
    PointComPorts({faults_->Link()});
    if (!StartPanel() || panel_->StatusText(StatusPanel::Status) != StatusPanel1::Ready) {
        std::fprintf(stderr, "the panel did not connect\n");
        return finish(1);
    }
    figures_.start = Memory::Now();
    std::optional<Memory> baseline;

    QElapsedTimer clock;
    clock.start();
    qint64 nextReportMs = kReportMs;
    driving_ = true;
    userTimer_.start(200);
    while (clock.elapsed() < qint64(options_.seconds) * 1000) {
        QTest::qWait(100);
        // Only here, with no handler of the panel under way, may the soak
        // replace the panel or the supply.
        faults_->Step();
        if (AnyKeyUsable() || QApplication::activeModalWidget() != nullptr) {
            deadEndClock_.restart();
        } else if (deadEndClock_.elapsed() > kDeadEndMs) {
            std::printf(
                "%6.1f s: nothing but EXIT usable (status \"%s\", edit target %s, "
                "locked label %s); the panel is started again\n",
                double(clock.elapsed()) / 1000, qPrintable(panel_->StatusText(StatusPanel::Status)),
                qPrintable(panel_->EditTarget), panel_->lbl_lock->isHidden() ? "hidden" : "shown");
            RestartPanel();
        }
        figures_.messageBoxes += boxes_->Count();
        boxes_->Clear();
        if (clock.elapsed() >= nextReportMs) {
            nextReportMs += kReportMs;
            PrintProgress(clock.elapsed(), figures_);
        }
        if (!baseline &&
            (faults_->FirstRoundOver() || clock.elapsed() > qint64(options_.seconds) * 500)) {
            baseline = Memory::Now();
        }
    }

    driving_ = false;
    if (!QTest::qWaitFor([this] { return !keyHeld_; }, 10000)) {
        std::fprintf(stderr, "a held key was never released\n");
    }
    faults_->ClearAll();
    if (!MakeRemUsable()) {
        figures_.mismatches = QStringLiteral("REM stayed disabled; ");
    } else {
        ++figures_.presses[QStringLiteral("cmd_rem (final)")];
        Click(panel_->cmd_rem);
        if (panel_->OutputOn != 1) {
            ++figures_.presses[QStringLiteral("cmd_output (final)")];
            Click(panel_->cmd_output);
        }
        // Polls bring the limits that the connection changed: wait until the
        // displays agree, or report what still differs.
        if (!QTest::qWaitFor([this] { return FinalMismatches().isEmpty(); }, 10000)) {
            figures_.mismatches = FinalMismatches();
        }
    }
    figures_.messageBoxes += boxes_->Count();
    figures_.end = Memory::Now();
    faults_->CountSupplyLog();

    figures_.baseline = baseline.value_or(figures_.start);
    for (int kind = 0; kind < kFaultKinds; ++kind) {
        figures_.faults[kind] = faults_->Count(static_cast<Fault>(kind));
    }
    figures_.supplyStarts = faults_->SupplyStarts();
    figures_.supplyFailures = faults_->SupplyFailures();
    figures_.statusQueries = faults_->StatusQueries();
    figures_.programEnds = EndProgramRecorder::Count();
    const bool passed = PrintReport(figures_);

    panel_.reset();
    boxes_.reset();
    faults_.reset();
    return finish(passed ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    UsePrivateRuntimeDir();
    qInstallMessageHandler(CountQtMessage);
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
