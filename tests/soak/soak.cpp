// brevane-soak [--runs N] [--seed S]: Downloads and Uploads through the real port against
// the stand-in, each with a random fault (or none), checking that every run ends sound: in
// time, with one outcome message, the controller and the table as that outcome leaves them,
// the port closed, no descriptor leaked. Which fault leads to which error code is
// tst_transfer's.

#include <QtWidgets>

#include "files/brvfile.h"
#include "link/exchange.h"
#include "link/protocol.h"
#include "mainwindow/keybox.h"
#include "tests/support/simprocess.h"
#include "tests/support/windowrig.h"

namespace {

constexpr int FramesPerRun = 10; // nine blocks and the checksum request
// Far shorter than the window's ReplyTimeoutMs, so that the many runs whose stand-in stays
// silent end soon; the stand-in, unpaced, answers well within it.
constexpr int SoakReplyTimeoutMs = 400;
static_assert(SoakReplyTimeoutMs < ReplyTimeoutMs);
// Each frame may wait out its time-out once; the rest is slack for a busy machine.
constexpr qint64 LongestRunMs = FramesPerRun * SoakReplyTimeoutMs + 3000;
// The stand-in's --fault kinds.
const QStringList FaultKinds{"silent", "badsum", "short", "extra", "lower",
                             "high",   "low",    "junk",  "stale", "hangup"};

enum class Told { Complete, Error, Other };

// What the user was told besides the question: "... Complete", "... Error: N", or anything
// else (no message, several); text gets the message, or how many there were.
Told toldOf(QList<Message> shown, QString* text) {
    shown.removeIf([](const Message& box) { return box.buttons.testFlag(QMessageBox::Yes); });
    if (shown.size() != 1) {
        *text = QStringLiteral("%1 messages").arg(shown.size());
        return Told::Other;
    }
    *text = shown.first().text;
    static const QRegularExpression error(QStringLiteral("^(Download|Upload) Error: \\d+\r\n"));
    return text->endsWith(QStringLiteral(" Complete")) ? Told::Complete
           : error.match(*text).hasMatch()             ? Told::Error
                                                       : Told::Other;
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
        app->transferCommands().setReplyTimeoutMs(SoakReplyTimeoutMs);
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
    const int kind = int(random.bounded(int(FaultKinds.size()) + 2));
    const int frame = random.bounded(5) == 0 ? 0 : 1 + int(random.bounded(FramesPerRun + 1));
    const bool clean = kind >= FaultKinds.size();
    const QString faultText = clean        ? QStringLiteral("none")
                              : frame == 0 ? FaultKinds[kind]
                                           : FaultKinds[kind] + '@' + QString::number(frame);
    const ControllerImage simStart = controllerImage(randomTable(random));
    const CnfTable table = randomTable(random);
    QStringList keys;
    for (int k = 0; k < 2; ++k) {
        keys << QString::number(random.generate64(), 36).left(int(random.bounded(KeyLength + 1)));
    }
    const bool modified = random.bounded(2) == 0;
    QString toldText;
    const auto fail = [&](const QString& what) {
        ++findings;
        qInfo("FINDING in run %d: %s with fault %s, told \"%s\": %s", number,
              download ? "Download" : "Upload", qPrintable(faultText),
              qPrintable(toldText.section(QLatin1Char('\r'), 0, 0)), qPrintable(what));
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
    sim.stop();
    const Told told = toldOf(messages.shown, &toldText);
    if (ms > LongestRunMs) {
        fail(QString("the run took %1 ms, its time-outs allow %2").arg(ms).arg(LongestRunMs));
    }
    if (told == Told::Other) {
        fail(QStringLiteral("not one \"... Complete\" or \"... Error: N\" message"));
    } else if (clean && told != Told::Complete) {
        fail(QStringLiteral("a run on a clean line failed"));
    }
    const ControllerImage simEnd = controllerImage(readBrvFile(statePath).value_or(CnfTable{}));
    ModBrevane shouldBe;
    if (download) {
        shouldBe.Cnf = table;
        shouldBe.PackKeys(keys[0], keys[1]);
        if (mod().Cnf != shouldBe.Cnf || mod().Modified != modified) {
            fail(QStringLiteral("the table changed beyond the packed keys, or Modified did"));
        }
        if (told == Told::Complete && simEnd != controllerImage(mod().Cnf)) {
            fail(QStringLiteral("\"Download Complete\" but the controller holds another image"));
        }
    } else if (simEnd != simStart) {
        fail(QStringLiteral("reading changed the controller's image"));
    } else {
        // Complete: the controller's table and keys; failed: nothing, and no file owns it.
        const bool complete = told == Told::Complete;
        shouldBe.Cnf = complete ? tableFromImage(simEnd) : CnfTable{};
        shouldBe.UnpackKeys();
        if (mod().Cnf != shouldBe.Cnf || window().txtOKey()->text() != shouldBe.OKey ||
            window().txtIKey()->text() != shouldBe.IKey ||
            (!complete && (mod().Modified || mod().CnfPath != QStringLiteral("None")))) {
            fail(QStringLiteral("the table, key boxes, Modified or file name are wrong"));
        }
    }
    // The first run may open what lasts for the whole program; after that the count holds.
    const auto descriptors =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System).size();
    if (port->isOpen() || (lastDescriptors >= 0 && descriptors != lastDescriptors)) {
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
