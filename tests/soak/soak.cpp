// brevane-soak [--runs N] [--seed S]: Downloads and Uploads through the real port against
// the stand-in, each with a random fault (or none), checking what the user was told, what
// the controller and the table hold, the port closed, no descriptor leaked.

#include <QtWidgets>

#include "files/brvfile.h"
#include "mainwindow/keybox.h"
#include "tests/support/windowrig.h"
#include "tools/nc-sim/controller.h"
#include "tools/nc-sim/simprocess.h"

namespace {

constexpr int FramesPerRun = 10; // nine blocks and the checksum request
constexpr int ReplyTimeoutMs = 400;
// Each frame may wait out its time-out once; the rest is slack for a busy machine.
constexpr qint64 LongestRunMs = FramesPerRun * ReplyTimeoutMs + 3000;

// What the user was told: 0 for "... Complete", the code of "... Error: N", 3 for
// "Unable To Open Port", -1 for anything else or not exactly one message.
int outcomeOf(QList<Message> shown) {
    shown.removeIf([](const Message& box) { return box.buttons.testFlag(QMessageBox::Yes); });
    static const QRegularExpression error(QStringLiteral("^(Download|Upload) Error: (\\d+)\r\n"));
    const QString text = shown.size() == 1 ? shown.first().text : QString();
    const QRegularExpressionMatch match = error.match(text);
    return match.hasMatch()                                ? match.captured(2).toInt()
           : text.endsWith(QStringLiteral(" Complete"))    ? 0
           : text == QStringLiteral("Unable To Open Port") ? 3
                                                           : -1;
}

// The outcome a fault must lead to, where the fault alone decides it.
std::optional<int> expectedOutcome(const Fault& fault, bool download) {
    const int first = fault.frame == 0 ? 1 : fault.frame;
    const bool atChecksum = fault.frame == 0 || fault.frame == FramesPerRun;
    switch (fault.kind) {
    case FaultKind::Lower:
        return 0;
    case FaultKind::High:
    case FaultKind::Low:
        return !atChecksum ? 0 : fault.kind == FaultKind::High ? 61 : 62;
    // Extra characters enter the checksum and now and then keep it right; whether stale
    // bytes beat the next command's flush is a matter of timing.
    case FaultKind::Extra:
    case FaultKind::Stale:
        return first > FramesPerRun || (fault.kind == FaultKind::Stale && first == FramesPerRun)
                   ? std::optional<int>(0)
                   : std::nullopt;
    default:
        return first > FramesPerRun ? 0 : first == FramesPerRun ? 52 : download ? 4 : 71;
    }
}

struct Soak : RealPortRig {
    explicit Soak(quint64 seed) : random(seed) {
        app->transferCommands().mnuComPort_Click(0);
        app->transferCommands().setReplyTimeoutMs(ReplyTimeoutMs);
    }
    void run(int number);

    QRandomGenerator random;
    qsizetype lastDescriptors = -1;
    int findings = 0;
    QMap<QString, int> faults;   // by kind
    QMap<QString, int> outcomes; // "Download 0", "Upload 71", ...
    qint64 longestMs = 0;
};

void Soak::run(int number) {
    const bool download = random.bounded(2) == 0;
    // One run in six or so on a clean line; mostly one frame (1-10, or 11, which never
    // comes), now and then every frame.
    const int kind = int(random.bounded(int(FaultKind::Hangup) + 3));
    const int frame = random.bounded(5) == 0 ? 0 : 1 + int(random.bounded(FramesPerRun + 1));
    const bool clean = kind > int(FaultKind::Hangup);
    const Fault fault{FaultKind(clean ? 0 : kind), frame};
    const auto randomTable = [&] {
        CnfTable cnf{};
        for (std::uint8_t& b : cnf) {
            b = static_cast<std::uint8_t>(random.generate());
        }
        return cnf;
    };
    const ControllerImage simStart = controllerImage(randomTable());
    const CnfTable table = randomTable();
    QStringList keys;
    for (int k = 0; k < 2; ++k) {
        keys << QString::number(random.generate64(), 36).left(int(random.bounded(KeyLength + 1)));
    }
    const bool modified = random.bounded(2) == 0;
    const QString kindText = clean ? QStringLiteral("none") : faultName(fault.kind);
    const QString faultText =
        frame == 0 || clean ? kindText : kindText + '@' + QString::number(frame);
    int outcome = -1;
    const auto fail = [&](const QString& what) {
        ++findings;
        qInfo("FINDING in run %d: %s with fault %s (outcome %d): %s", number,
              download ? "Download" : "Upload", qPrintable(faultText), outcome, qPrintable(what));
    };

    const QString statePath = QDir::home().filePath(QStringLiteral("controller.BRV"));
    if (!writeBrvFile(statePath, tableFromImage(simStart))) {
        return fail(QStringLiteral("cannot write the stand-in's state file"));
    }
    ModBrevane& mod = this->mod();
    frmBrevaneMain& window = this->window();
    mod.Cnf = table;
    mod.Modified = modified;
    mod.CnfPath = QStringLiteral("/site/previous.BRV");
    window.txtOKey()->setText(keys[0]);
    window.txtIKey()->setText(keys[1]);
    messages.shown.clear();

    QStringList arguments{"--port", "1", "--no-pacing", "--quiet", "--state", statePath};
    SimProcess sim(clean ? arguments : arguments << QStringLiteral("--fault") << faultText);
    if (sim.nextLine().isEmpty()) {
        return fail(QStringLiteral("the stand-in did not start"));
    }
    QElapsedTimer took;
    took.start();
    (download ? window.mnuDownload() : window.mnuUpload())->trigger();
    const qint64 ms = took.elapsed();
    longestMs = std::max(longestMs, ms);
    const int simStatus = sim.stop();
    outcome = outcomeOf(messages.shown);
    ++faults[kindText];
    ++outcomes[QStringLiteral("%1 %2").arg(download ? "Download" : "Upload").arg(outcome)];
    if (ms > LongestRunMs) {
        fail(QString("the run took %1 ms, its time-outs allow %2").arg(ms).arg(LongestRunMs));
    }
    if (simStatus != 0) {
        fail(QStringLiteral("the stand-in ended with %1: %2")
                 .arg(simStatus)
                 .arg(QString::fromLocal8Bit(sim.standardError())));
    }
    const std::optional<CnfTable> simTable = readBrvFile(statePath);
    if (!simTable) {
        return fail(QStringLiteral("the stand-in's state file cannot be read"));
    }
    const ControllerImage simEnd = controllerImage(*simTable);
    const std::optional<int> expected = clean ? 0 : expectedOutcome(fault, download);
    if (outcome == -1 || outcome == 3 || (expected && *expected != outcome)) {
        fail(QStringLiteral("expected %1").arg(expected.value_or(-1)));
    }
    if (download) {
        ModBrevane packed;
        packed.Cnf = table;
        packed.PackKeys(keys[0], keys[1]);
        if (mod.Cnf != packed.Cnf || mod.Modified != modified) {
            fail(QStringLiteral("the table changed beyond the packed keys, or Modified did"));
        }
        if (outcome == 0 && simEnd != controllerImage(mod.Cnf)) {
            fail(QStringLiteral("\"Download Complete\" but the controller holds another image"));
        }
    } else if (simEnd != simStart) {
        fail(QStringLiteral("reading changed the controller's image"));
    } else if (outcome == 0) {
        ModBrevane unpacked;
        unpacked.Cnf = tableFromImage(simEnd);
        unpacked.UnpackKeys();
        if (mod.Cnf != unpacked.Cnf || window.txtOKey()->text() != unpacked.OKey ||
            window.txtIKey()->text() != unpacked.IKey) {
            fail(QStringLiteral("the table or the key boxes differ from the controller's"));
        }
    } else if (mod.Cnf != CnfTable{} || !mod.OKey.isEmpty() || !mod.IKey.isEmpty() ||
               !window.txtOKey()->text().isEmpty() || !window.txtIKey()->text().isEmpty() ||
               mod.Modified || mod.CnfPath != QStringLiteral("None")) {
        fail(QStringLiteral("a failed Upload left data, Modified or a file name"));
    }
    // The first run may open what lasts for the whole program; after that the count holds.
    const auto descriptors =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System).size();
    if (port.isOpen() || (lastDescriptors >= 0 && descriptors != lastDescriptors)) {
        fail(QStringLiteral("the port is open, or %1 descriptors where there were %2")
                 .arg(descriptors)
                 .arg(lastDescriptors));
    }
    lastDescriptors = descriptors;
}

} // namespace

int main(int argc, char* argv[]) {
    // Headless, and in a home of its own: the stand-in links its port under it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    const QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const auto option = [&](const char* name, quint64 fallback) {
        const qsizetype at = arguments.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < arguments.size() ? arguments[at + 1].toULongLong() : fallback;
    };
    const int runs = int(option("--runs", 300));
    const quint64 seed = option("--seed", QRandomGenerator::system()->generate64());
    qInfo("seed %llu (again: brevane-soak --runs %d --seed %llu)", seed, runs, seed);
    Soak soak(seed);
    for (int number = 1; number <= runs; ++number) {
        soak.run(number);
    }
    const auto print = [](const char* what, const QMap<QString, int>& counts) {
        QStringList parts;
        for (auto it = counts.begin(); it != counts.end(); ++it) {
            parts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        }
        qInfo("%s: %s", what, qPrintable(parts.join(QStringLiteral(", "))));
    };
    print("faults", soak.faults);
    print("outcomes (0 Complete, 3 no port, else the error code)", soak.outcomes);
    qInfo("%d runs; longest %lld ms; %d findings", runs, soak.longestMs, soak.findings);
    return soak.findings == 0 && runs > 0 ? 0 : 1;
}
