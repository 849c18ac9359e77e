// brevane-soak [--runs N] [--seed S]: Downloads and Uploads through the real port against
// the stand-in, each with a random fault (or none), checking what the user was told, what
// the controller and the table hold, the port closed, no descriptor leaked.

#include <QtWidgets>

#include "files/brvfile.h"
#include "mainwindow/keybox.h"
#include "tests/support/windowrig.h"
#include "nc-sim/controller.h"
#include "tests/support/simprocess.h"

namespace {

constexpr int FramesPerRun = 10; // nine blocks and the checksum request
constexpr int ReplyTimeoutMs = 400;
// Each frame may wait out its time-out once; the rest is slack for a busy machine.
constexpr qint64 LongestRunMs = FramesPerRun * ReplyTimeoutMs + 3000;

// What the user was told: 0 for "... Complete", the code of "... Error: N", -1 for
// anything else or not exactly one message besides the question.
int outcomeOf(QList<Message> shown) {
    shown.removeIf([](const Message& box) { return box.buttons.testFlag(QMessageBox::Yes); });
    static const QRegularExpression error(QStringLiteral("^(Download|Upload) Error: (\\d+)\r\n"));
    const QString text = shown.size() == 1 ? shown.first().text : QString();
    const QRegularExpressionMatch match = error.match(text);
    return match.hasMatch()                             ? match.captured(2).toInt()
           : text.endsWith(QStringLiteral(" Complete")) ? 0
                                                        : -1;
}

// The outcome a fault must lead to, where the fault alone decides it (frame 0: every frame,
// 11: one that never comes).
std::optional<int> expectedOutcome(const Fault& fault, bool download) {
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
        return fault.frame > FramesPerRun ||
                       (fault.kind == FaultKind::Stale && fault.frame == FramesPerRun)
                   ? std::optional<int>(0)
                   : std::nullopt;
    default:
        return fault.frame > FramesPerRun       ? 0
               : atChecksum && fault.frame != 0 ? 52
               : download                       ? 4
                                                : 71;
    }
}

CnfTable randomTable(QRandomGenerator& random) {
    CnfTable cnf{};
    for (std::uint8_t& b : cnf) {
        b = static_cast<std::uint8_t>(random.generate());
    }
    return cnf;
}

struct Soak : RealPortRig {
    explicit Soak(quint64 seed) : random(seed) {
        app->transferCommands().setReplyTimeoutMs(ReplyTimeoutMs);
    }
    void run(int number);

    QRandomGenerator random;
    qsizetype lastDescriptors = -1;
    int findings = 0;
};

void Soak::run(int number) {
    const bool download = random.bounded(2) == 0;
    // One run in six or so on a clean line; mostly one frame (1-10, or 11), now and then
    // every frame.
    const int kind = int(random.bounded(int(FaultKind::Hangup) + 3));
    const int frame = random.bounded(5) == 0 ? 0 : 1 + int(random.bounded(FramesPerRun + 1));
    const bool clean = kind > int(FaultKind::Hangup);
    const Fault fault{FaultKind(clean ? 0 : kind), frame};
    const QString faultText = clean        ? QStringLiteral("none")
                              : frame == 0 ? faultName(fault.kind)
                                           : faultName(fault.kind) + '@' + QString::number(frame);
    const ControllerImage simStart = controllerImage(randomTable(random));
    const CnfTable table = randomTable(random);
    QStringList keys;
    for (int k = 0; k < 2; ++k) {
        keys << QString::number(random.generate64(), 36).left(int(random.bounded(KeyLength + 1)));
    }
    const bool modified = random.bounded(2) == 0;
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
    mod().Cnf = table;
    mod().Modified = modified;
    mod().CnfPath = QStringLiteral("/site/previous.BRV");
    window().txtOKey()->setText(keys[0]);
    window().txtIKey()->setText(keys[1]);
    messages.shown.clear();

    QStringList arguments{"--port", "1", "--no-pacing", "--quiet", "--state", statePath};
    SimProcess sim(clean ? arguments : arguments << QStringLiteral("--fault") << faultText);
    sim.nextLine(); // its port is there; if not, the run fails and says so
    QElapsedTimer took;
    took.start();
    (download ? window().mnuDownload() : window().mnuUpload())->trigger();
    const qint64 ms = took.elapsed();
    const int simStatus = sim.stop();
    outcome = outcomeOf(messages.shown);
    if (ms > LongestRunMs) {
        fail(QString("the run took %1 ms, its time-outs allow %2").arg(ms).arg(LongestRunMs));
    }
    if (simStatus != 0) {
        fail(QStringLiteral("the stand-in ended with %1: %2")
                 .arg(simStatus)
                 .arg(QString::fromLocal8Bit(sim.standardError())));
    }
    const ControllerImage simEnd = controllerImage(readBrvFile(statePath).value_or(CnfTable{}));
    const std::optional<int> expected = clean ? 0 : expectedOutcome(fault, download);
    if (outcome == -1 || (expected && *expected != outcome)) {
        fail(QStringLiteral("expected %1").arg(expected.value_or(-1)));
    }
    ModBrevane shouldBe;
    if (download) {
        shouldBe.Cnf = table;
        shouldBe.PackKeys(keys[0], keys[1]);
        if (mod().Cnf != shouldBe.Cnf || mod().Modified != modified) {
            fail(QStringLiteral("the table changed beyond the packed keys, or Modified did"));
        }
        if (outcome == 0 && simEnd != controllerImage(mod().Cnf)) {
            fail(QStringLiteral("\"Download Complete\" but the controller holds another image"));
        }
    } else if (simEnd != simStart) {
        fail(QStringLiteral("reading changed the controller's image"));
    } else {
        // Complete: the controller's table and keys; failed: nothing, and no file owns it.
        shouldBe.Cnf = outcome == 0 ? tableFromImage(simEnd) : CnfTable{};
        shouldBe.UnpackKeys();
        if (mod().Cnf != shouldBe.Cnf || window().txtOKey()->text() != shouldBe.OKey ||
            window().txtIKey()->text() != shouldBe.IKey ||
            (outcome != 0 && (mod().Modified || mod().CnfPath != QStringLiteral("None")))) {
            fail(QStringLiteral("the table, key boxes, Modified or file name are wrong"));
        }
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
    qInfo("%d runs; %d findings", runs, soak.findings);
    return soak.findings == 0 && runs > 0 ? 0 : 1;
}
