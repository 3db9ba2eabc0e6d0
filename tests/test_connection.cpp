// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the supply on COM1 to COM4, reading its settings into the panel and
// identifying the model, against zrm-sim (and a scripted line where exact
// answers are needed) over real pseudo-terminals.
#include "command_set.h"
#include "panel_checks.h"
#include "panel_fixture.h"
#include "panel_harness.h"
#include "progress_window.h"
#include "scripted_line.h"
#include "sim_process.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>

namespace {

// What the progress window showed at each step of the scan: the value of
// PBar1 when it changed, with the time since the window appeared, the label
// and whether it had room for its text, the bar's maximum and the window's
// left edge at that moment.
class ProgressRecorder : public QObject {
public:
    ProgressRecorder() { qApp->installEventFilter(this); }
    ~ProgressRecorder() override { qApp->removeEventFilter(this); }

    QList<int> values;
    QList<qint64> times;
    QStringList captions;
    bool captionsFit = true;
    int maximum = -1;
    int left = -1;
    int windows = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<Form2*>(watched);
        if (window != nullptr && event->type() == QEvent::Show) {
            ++windows;
            clock_.start();
            connect(window->PBar1, &QProgressBar::valueChanged, this, [this, window](int value) {
                if (value <= 0) {
                    return;
                }
                values << value;
                times << clock_.elapsed();
                captions << window->dispini->text();
                captionsFit =
                    captionsFit && window->dispini->width() >= window->dispini->sizeHint().width();
                maximum = window->PBar1->maximum();
                left = window->x();
            });
        }
        return false;
    }

private:
    QElapsedTimer clock_;
};

// Starts one simulator per "sim ..." entry; "missing" is a port that cannot
// be opened. Returns the paths of COM1.. in order.
QStringList StartPorts(const QStringList& kinds, std::vector<std::unique_ptr<SimProcess>>& sims) {
    QStringList paths;
    for (const QString& kind : kinds) {
        if (kind == u"missing") {
            paths << MissingPortPath(static_cast<int>(paths.size()) + 1);
            continue;
        }
        sims.push_back(std::make_unique<SimProcess>());
        QStringList args = kind.split(u' ', Qt::SkipEmptyParts);
        args.removeFirst();
        paths << sims.back()->Start(args);
    }
    return paths;
}

// The command lines that a simulator has received so far.
QStringList Commands(const SimProcess& sim) {
    return sim.LoggedCommands();
}

// A status line with the lead character and LF, as a supply sends it, with
// the given voltage-limit field (positions 19 and 20).
QByteArray StatusReply(const QByteArray& voltageLimit = "30") {
    return "S12.34 1.234 015.2 " + voltageLimit + " 2.50 075 010200\n";
}

} // namespace

class TestConnection : public PanelTest {
    Q_OBJECT
private slots:
    void portScan_data();
    void portScan();
    void commandSequence_data();
    void commandSequence();
    void statusFields_data();
    void statusFields();
    void modelBySimulator_data();
    void modelBySimulator();
    void modelByAnswer_data();
    void modelByAnswer();
    void voltageLimitGivenBack_data();
    void voltageLimitGivenBack();
    void silenceDuringConnection_data();
    void silenceDuringConnection();
    void statusLineStopsEarly_data();
    void statusLineStopsEarly();
    void noNestedConnection();
};

void TestConnection::portScan_data() {
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("found"); // 0: none
    QTest::addColumn<QList<int>>("bar");
    QTest::addColumn<int>("timeouts");

    QTest::newRow("supply on COM3, COM1 silent, COM2 absent")
        << QStringList{"sim --silent", "missing", "sim --no-pacing", "sim --no-pacing"} << 3
        << QList<int>{1, 2, 3} << 1;
    QTest::newRow("supply on COM1") << QStringList{"sim --no-pacing"} << 1 << QList<int>{1} << 0;
    QTest::newRow("no serial ports") << QStringList{} << 0 << QList<int>{1, 2, 3, 4} << 0;
    QTest::newRow("only silent ports")
        << QStringList{"missing", "sim --silent", "missing", "sim --silent"} << 0
        << QList<int>{1, 2, 3, 4} << 2;
}

void TestConnection::portScan() {
    QFETCH(QStringList, ports);
    QFETCH(int, found);
    QFETCH(QList<int>, bar);
    QFETCH(int, timeouts);

    std::vector<std::unique_ptr<SimProcess>> sims;
    PointComPorts(StartPorts(ports, sims));
    ProgressRecorder progress;
    QVERIFY(StartPanel(bench().panel()));

    QCOMPARE(progress.windows, 1);
    QCOMPARE(progress.values, bar);
    QCOMPARE(progress.maximum, 4);
    QCOMPARE(progress.left, bench().panel().frameGeometry().left());
    for (const QString& caption : progress.captions) {
        QCOMPARE(caption, ProgressText::Scanning);
    }
    QVERIFY(progress.captionsFit);
    // Each silent port costs the full reply wait.
    for (int i = 1; i < progress.values.size(); ++i) {
        if (ports.value(i - 1) == u"sim --silent") {
            QVERIFY2(progress.times[i] - progress.times[i - 1] >= 1000,
                     qPrintable(QString::number(progress.times[i] - progress.times[i - 1])));
        }
    }
    QTRY_VERIFY(bench().panel().ProgressWindow.isNull());
    QCOMPARE(int(bench().panel().TimeoutCount), timeouts);
    QCOMPARE(bench().panel().Connecting, kFalse);

    if (found > 0) {
        QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
        QCOMPARE(bench().panel().StatusText(StatusPanel::Model), QStringLiteral("ZRM-522"));
        QCOMPARE(bench().panel().StatusText(StatusPanel::Port), QStringLiteral("COM%1").arg(found));
        QCOMPARE(bench().panel().ReplyPending, kFalse);
        QVERIFY(bench().panel().cmd_output->isEnabled());
        QCOMPARE(bench().boxes().Count(), 0);
    } else {
        QCOMPARE(bench().boxes().Count(), 1);
        QCOMPARE(bench().boxes().Seen()[0].title, MessageText::CommunicationErrorTitle);
        QCOMPARE(bench().boxes().Seen()[0].text, MessageText::CommunicationError);
        QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::CommunicationError);
        QCOMPARE(bench().panel().StatusText(StatusPanel::Port), QString());
        QCOMPARE(bench().panel().ReplyPending, kTrue);
        QVERIFY(!bench().panel().cmd_output->isEnabled());
        QVERIFY(bench().panel().cmd_rem->isEnabled());
    }
    // Every silent port was asked once, and only once.
    int asked = 0;
    for (const auto& sim : sims) {
        if (!Commands(*sim).isEmpty()) {
            QCOMPARE(Commands(*sim).first(), QStringLiteral("L"));
            ++asked;
        }
    }
    QCOMPARE(asked, found > 0 ? timeouts + 1 : timeouts);
    QCOMPARE(EndProgramRecorder::Count(), 0);
}

void TestConnection::commandSequence_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("restore");

    QTest::newRow("voltage limit 30") << QStringList{"--vlimit", "30"} << QStringLiteral("SU 30");
    QTest::newRow("voltage limit 5") << QStringList{"--vlimit", "5"} << QStringLiteral("SU 05");
}

void TestConnection::commandSequence() {
    QFETCH(QStringList, args);
    QFETCH(QString, restore);

    SimProcess sim;
    PointComPorts({sim.Start(args)});
    QVERIFY(StartPanel(bench().panel()));
    QVERIFY(sim.WaitForLogCount(6));
    const QList<SimProcess::LogEntry> log = sim.Log();
    QCOMPARE(Commands(sim), (QStringList{"L", "B", "D", "SUM", "U", restore}));
    // "U" and the restoring "SU" each follow a pause of 0.15 s.
    const QString shortPauses = ShortPauses(log.mid(3, 3));
    QVERIFY2(shortPauses.isEmpty(), qPrintable(shortPauses));
    // The supply got its limit back after "SUM" had raised it.
    QCOMPARE(sim.State().value("vlimit"), restore.mid(3));
}

void TestConnection::statusFields_data() {
    QTest::addColumn<QStringList>("args");
    // dis_v, dis_i, dis_p, dis_lv, dis_li, dis_lp, txt_plus, txt_minus
    QTest::addColumn<QStringList>("texts");
    // VoltageSet, VoltageLimit, CurrentLimit, PowerLimit, PlusPercent, MinusPercent
    QTest::addColumn<QList<float>>("values");
    // OutputOn, OverTemp, FineMode, Locked
    QTest::addColumn<QList<int>>("digits");

    QTest::newRow("everything on")
        << QStringList{"--vset",      "12.34",  "--vlimit", "30",        "--ilimit", "2.5",
                       "--plimit",    "75",     "--plus",   "110",       "--minus",  "90",
                       "--output-on", "--fine", "--locked", "--overtemp"}
        << QStringList{"12.34", "1.234", "015.2", "30", "2.50", "075", "110\n", "090\n"}
        << QList<float>{12.34f, 30, 2.5f, 75, 110, 90} << QList<int>{1, 1, 1, 1};
    QTest::newRow("everything off")
        << QStringList{"--vset",   "7.5", "--vlimit", "20",  "--ilimit", "1.25",
                       "--plimit", "25",  "--plus",   "100", "--minus",  "50"}
        << QStringList{"07.50", "0.000", "000.0", "20", "1.25", "025", "100\n", "050\n"}
        << QList<float>{7.5f, 20, 1.25f, 25, 100, 50} << QList<int>{0, 0, 0, 0};
}

void TestConnection::statusFields() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, texts);
    QFETCH(QList<float>, values);
    QFETCH(QList<int>, digits);

    SimProcess sim;
    PointComPorts({sim.Start(args << "--no-pacing")});
    QVERIFY(StartPanel(bench().panel()));
    Form1& p = bench().panel();
    QCOMPARE(
        (QStringList{p.dis_v->text(), p.dis_i->text(), p.dis_p->text(), p.dis_lv->text(),
                     p.dis_li->text(), p.dis_lp->text(), p.txt_plus->text(), p.txt_minus->text()}),
        texts);
    QCOMPARE((QList<float>{p.VoltageSet, p.VoltageLimit, p.CurrentLimit, p.PowerLimit,
                           p.PlusPercent, p.MinusPercent}),
             values);
    QCOMPARE((QList<int>{p.OutputOn, p.OverTemp, p.FineMode, p.Locked}), digits);
    const bool on = digits[0] == 1;
    QCOMPARE(!p.lbl_on->isHidden(), on);
    QCOMPARE(!p.lbl_off->isHidden(), !on);
    QCOMPARE(p.Timer3->isActive(), on);
    QCOMPARE(!p.lbl_overtemp->isHidden(), digits[1] == 1);
    QCOMPARE(!p.lbl_fine->isHidden(), digits[2] == 1);
    const bool locked = digits[3] == 1;
    QCOMPARE(!p.lbl_lock->isHidden(), locked);
    QCOMPARE(p.cmd_rem->isEnabled(), !locked);
    QCOMPARE(p.cmd_v->isEnabled(), !locked);
    QCOMPARE(p.StatusText(StatusPanel::Status), StatusPanel1::Ready);
}

void TestConnection::modelBySimulator_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("restore");

    QTest::newRow("ZRM-711") << QStringLiteral("ZRM-711") << 0 << QStringLiteral("SU 60");
    QTest::newRow("ZRM-522") << QStringLiteral("ZRM-522") << 1 << QStringLiteral("SU 40");
    QTest::newRow("ZRM-3033") << QStringLiteral("ZRM-3033") << 2 << QStringLiteral("SU 20");
}

void TestConnection::modelBySimulator() {
    QFETCH(QString, model);
    QFETCH(int, row);
    QFETCH(QString, restore);

    SimProcess sim;
    PointComPorts({sim.Start({"--model", model, "--no-pacing"})});
    QVERIFY(StartPanel(bench().panel()));
    QCOMPARE(bench().panel().StatusText(StatusPanel::Model), model);
    QCOMPARE(int(bench().panel().ModelIndex), row);
    QVERIFY(sim.WaitForLogCount(6));
    QCOMPARE(Commands(sim).last(), restore);
}

void TestConnection::modelByAnswer_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("model");

    QTest::newRow("40") << QByteArray("S40\n") << 1 << QStringLiteral("ZRM-522");
    QTest::newRow("40.005") << QByteArray("S40.005\n") << 1 << QStringLiteral("ZRM-522");
    QTest::newRow("60 with CR") << QByteArray("S60\r\n") << 0 << QStringLiteral("ZRM-711");
    // No model: the panel keeps what it had, and still restores the limit.
    QTest::newRow("40.5") << QByteArray("S40.5\n") << 2 << QStringLiteral("before");
    QTest::newRow("not a number") << QByteArray("S?\n") << 2 << QStringLiteral("before");
}

void TestConnection::modelByAnswer() {
    QFETCH(QByteArray, answer);
    QFETCH(int, row);
    QFETCH(QString, model);

    ScriptedLine line;
    line.Answer(QStringLiteral("L"), StatusReply());
    line.Answer(QStringLiteral("B"), "S110\n");
    line.Answer(QStringLiteral("D"), "S090\n");
    line.Answer(QStringLiteral("U"), answer);
    PointComPorts({line.Path()});
    bench().panel().ModelIndex = 2;
    bench().panel().SetStatusText(StatusPanel::Model, QStringLiteral("before"));
    QVERIFY(StartPanel(bench().panel()));
    QVERIFY(line.WaitForCommands(6));
    QCOMPARE(line.Commands(), (QStringList{"L", "B", "D", "SUM", "U", "SU 30"}));
    QCOMPARE(int(bench().panel().ModelIndex), row);
    QCOMPARE(bench().panel().StatusText(StatusPanel::Model), model);
    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QCOMPARE(bench().boxes().Count(), 0);
}

void TestConnection::voltageLimitGivenBack_data() {
    QTest::addColumn<QByteArray>("field");  // the status line's voltage limit
    QTest::addColumn<QByteArray>("answer"); // to "U" after "SUM"
    QTest::addColumn<QStringList>("restore");
    QTest::addColumn<QString>("shown"); // dis_lv at the end

    const QByteArray zrm522 = "S40\n";
    QTest::newRow("5 V") << QByteArray("05") << zrm522 << QStringList{"SU 05"} << "05";
    QTest::newRow("negative") << QByteArray("-1") << zrm522 << QStringList{} << "40";
    QTest::newRow("a stray letter") << QByteArray("9x") << zrm522 << QStringList{} << "40";
    QTest::newRow("blank") << QByteArray("  ") << zrm522 << QStringList{} << "40";
    QTest::newRow("zero") << QByteArray("00") << zrm522 << QStringList{} << "40";
    QTest::newRow("above the model's maximum")
        << QByteArray("41") << zrm522 << QStringList{} << "40";
    // An unknown model is held to the largest model's maximum, 60 V.
    QTest::newRow("unknown model, 50 V")
        << QByteArray("50") << QByteArray("S45\n") << QStringList{"SU 50"} << "50";
    QTest::newRow("unknown model, 99 V")
        << QByteArray("99") << QByteArray("S45\n") << QStringList{} << "60";
}

// The voltage limit that "SUM" replaced goes back only when the status line
// held a sound one; nothing outside the command set ever goes on the wire.
void TestConnection::voltageLimitGivenBack() {
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, restore);
    QFETCH(QString, shown);

    ScriptedLine line;
    line.Answer(QStringLiteral("L"), StatusReply(field));
    line.Answer(QStringLiteral("B"), "S110\n");
    line.Answer(QStringLiteral("D"), "S090\n");
    line.Answer(QStringLiteral("U"), answer);
    PointComPorts({line.Path()});
    QVERIFY(StartPanel(bench().panel()));
    // Sent last, so that nothing of the connection is still on its way.
    bench().panel().SendCommand(QStringLiteral("MARK"));
    const QStringList connection = QStringList{"L", "B", "D", "SUM", "U"} + restore;
    QVERIFY(line.WaitForCommands(static_cast<int>(connection.size()) + 1));
    QStringList sent = line.Commands();
    QCOMPARE(sent.takeLast(), QStringLiteral("MARK"));
    QCOMPARE(sent, connection);
    for (const QString& command : sent) {
        QVERIFY2(kCommandSet.match(command).hasMatch(), qPrintable(command));
    }
    QCOMPARE(bench().panel().dis_lv->text(), shown);
    QCOMPARE(bench().panel().VoltageLimit, shown.toFloat());
    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
}

void TestConnection::silenceDuringConnection_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("plus");
    QTest::addColumn<int>("timeouts");

    QTest::newRow("model query unanswered")
        << QStringList{"--drop", "U"} << QStringList{"L", "B", "D", "SUM", "U", "SUM", "U"}
        << QStringLiteral("100\n") << 3;
    QTest::newRow("silent after finding the supply")
        << QStringList{"--silent-after", "1"} << QStringList{"L", "B", "D", "SUM", "U", "SUM", "U"}
        << QString() << 5;
}

void TestConnection::silenceDuringConnection() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, commands);
    QFETCH(QString, plus);
    QFETCH(int, timeouts);

    SimProcess sim;
    PointComPorts({sim.Start(args << "--no-pacing")});
    QVERIFY(StartPanel(bench().panel()));
    QVERIFY(sim.WaitForLogCount(static_cast<int>(commands.size())));
    QCOMPARE(Commands(sim), commands);
    QCOMPARE(bench().panel().txt_plus->text(), plus);
    QCOMPARE(bench().panel().PlusPercent, static_cast<float>(LeadingNumber(plus)));
    QCOMPARE(int(bench().panel().TimeoutCount), timeouts);
    // No lost-link report while connecting: only the model query's own
    // message, and then the program ends.
    QCOMPARE(bench().boxes().Count(), 1);
    QCOMPARE(bench().boxes().Seen()[0].title, MessageText::CommunicationErrorTitle);
    QCOMPARE(bench().boxes().Seen()[0].text, MessageText::CommunicationError);
    QCOMPARE(EndProgramRecorder::Count(), 1);
}

void TestConnection::statusLineStopsEarly_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("powerLimit");
    // OutputOn, OverTemp, FineMode, Locked; 7: not read
    QTest::addColumn<QList<int>>("digits");

    QTest::newRow("30 characters") << QStringList{"--truncate-status", "30"}
                                   << QStringLiteral("075") << QList<int>{7, 7, 7, 7};
    QTest::newRow("not a digit at 33") << QStringList{"--bad-digit", "33", "--output-on"}
                                       << QStringLiteral("075") << QList<int>{1, 0, 7, 7};
    QTest::newRow("not a digit at 31") << QStringList{"--bad-digit", "31", "--output-on"}
                                       << QStringLiteral("075") << QList<int>{7, 7, 7, 7};
}

void TestConnection::statusLineStopsEarly() {
    QFETCH(QStringList, args);
    QFETCH(QString, powerLimit);
    QFETCH(QList<int>, digits);

    SimProcess sim;
    PointComPorts({sim.Start(args << "--vlimit"
                                  << "30"
                                  << "--ilimit"
                                  << "2.5"
                                  << "--plimit"
                                  << "75"
                                  << "--no-pacing")});
    bench().panel().OutputOn = bench().panel().OverTemp = bench().panel().FineMode =
        bench().panel().Locked = 7;
    bench().panel().SetStatusText(StatusPanel::Model, QStringLiteral("before"));
    QVERIFY(StartPanel(bench().panel()));
    QCOMPARE(bench().panel().dis_lp->text(), powerLimit);
    QCOMPARE(bench().panel().PowerLimit, 75.0f);
    QCOMPARE((QList<int>{bench().panel().OutputOn, bench().panel().OverTemp,
                         bench().panel().FineMode, bench().panel().Locked}),
             digits);
    // The collection ended at the bad field; the connection still counts.
    QCOMPARE(bench().panel().StatusText(StatusPanel::Status), StatusPanel1::Ready);
    QCOMPARE(bench().panel().StatusText(StatusPanel::Model), QStringLiteral("before"));
    QCOMPARE(bench().panel().StatusText(StatusPanel::Port), QStringLiteral("COM1"));
    QCOMPARE(bench().panel().Timer3->isActive(), digits[0] == 1);
    QCOMPARE(bench().panel().txt_plus->text(), QString());
    bench().panel().Timer3->stop();
    // Nothing follows the status query: a marker sent now is the next line.
    bench().panel().SendCommand(QStringLiteral("KN"));
    QVERIFY(sim.WaitForLogCount(2));
    QCOMPARE(Commands(sim), (QStringList{"L", "KN"}));
}

void TestConnection::noNestedConnection() {
    std::vector<std::unique_ptr<SimProcess>> sims;
    PointComPorts(StartPorts({"sim --silent", "sim --no-pacing"}, sims));
    // A second connection asked for while the first waits on the silent COM1,
    // as the remote key or a second start-up tick would.
    bool asked = false;
    QTimer::singleShot(300, &bench().panel(), [&] {
        asked = true;
        bench().panel().ConnectSupply();
    });
    QVERIFY(StartPanel(bench().panel()));
    QVERIFY(asked);
    QVERIFY(sims[1]->WaitForLogCount(6));
    QCOMPARE(Commands(*sims[0]), QStringList{"L"});
    QCOMPARE(Commands(*sims[1]), (QStringList{"L", "B", "D", "SUM", "U", "SU 40"}));
    QCOMPARE(bench().panel().StatusText(StatusPanel::Port), QStringLiteral("COM2"));
    QCOMPARE(int(bench().panel().TimeoutCount), 1);
}

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
