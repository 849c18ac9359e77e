#include "nc-sim/pty_posix.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/linesettings.h"

namespace {

volatile std::sig_atomic_t quitSignal = 0;
sigset_t waitMask; // the mask during wait(): quit signals let through
bool quitSignalsCaught = false;

void onQuitSignal(int) {
    quitSignal = 1;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The terminal's code for a speed in baud; 38400 for one it has no code for.
speed_t speedOf(int baudRate) {
    switch (baudRate) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B38400;
    }
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::open(QString* error) {
    close();
    const auto fail = [&] {
        if (error != nullptr) {
            *error = systemError();
        }
        close();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        return fail();
    }
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        return fail();
    }
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) {
        return fail();
    }
    termios raw{};
    if (::tcgetattr(m_slave, &raw) != 0) {
        return fail();
    }
    // Raw is 8N1 without flow control already; the speed is only for a client that asks.
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, speedOf(ControllerLine.baudRate));
    ::cfsetospeed(&raw, speedOf(ControllerLine.baudRate));
    if (::tcsetattr(m_slave, TCSANOW, &raw) != 0) {
        return fail();
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        return fail();
    }
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PseudoTerminal::close() {
    closeFd(m_slave);
    closeFd(m_master);
}

QByteArray PseudoTerminal::readAvailable() {
    QByteArray bytes;
    char chunk[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            bytes.append(chunk, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // EAGAIN: nothing more waits
        }
    }
    return bytes;
}

qsizetype PseudoTerminal::write(QByteArrayView bytes) {
    qsizetype written = 0;
    while (m_master >= 0 && written < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return written;
}

int PseudoTerminal::unreadByClient() const {
    if (m_slave < 0) {
        return 0;
    }
    // Characters written here reach the client's queue a little later, through the
    // kernel's buffer worker; polling the slave end pushes them through first.
    pollfd queue{m_slave, POLLIN, 0};
    ::poll(&queue, 1, 0);
    int waiting = 0;
    if (::ioctl(m_slave, FIONREAD, &waiting) != 0) {
        return 0;
    }
    return waiting;
}

PseudoTerminal::Wake PseudoTerminal::wait(std::optional<Clock::time_point> deadline) {
    if (quitSignal != 0) {
        return Wake::Quit;
    }
    timespec timeout{};
    timespec* timeoutArg = nullptr;
    if (deadline) {
        const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        timeoutArg = &timeout;
    }
    pollfd input{m_master, POLLIN, 0};
    const int n =
        ::ppoll(&input, m_master >= 0 ? 1 : 0, timeoutArg, quitSignalsCaught ? &waitMask : nullptr);
    if (quitSignal != 0) {
        return Wake::Quit;
    }
    if (n < 0) {
        return errno == EINTR ? Wake::Deadline : Wake::Failed;
    }
    if (n == 0) {
        return Wake::Deadline;
    }
    return (input.revents & POLLIN) != 0 ? Wake::Input : Wake::Failed;
}

void catchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGTERM);
    sigprocmask(SIG_BLOCK, &quit, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    quitSignalsCaught = true;
}

bool quitRequested() {
    return quitSignal != 0;
}

bool replaceSymlink(const QString& target, const QString& link, QString* error) {
    const QByteArray fresh = QFile::encodeName(link + QStringLiteral(".new"));
    ::unlink(fresh.constData());
    if (::symlink(QFile::encodeName(target).constData(), fresh.constData()) != 0 ||
        ::rename(fresh.constData(), QFile::encodeName(link).constData()) != 0) {
        if (error != nullptr) {
            *error = systemError();
        }
        ::unlink(fresh.constData());
        return false;
    }
    return true;
}
