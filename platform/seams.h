#pragma once

class FileDialogs;
class MessageBoxes;
class SerialPort;
class TimeoutClock;

// The seams through which the windows reach the outside world. The program uses the
// real ones; a test hands in its own.
struct Seams {
    MessageBoxes* messages = nullptr;
    FileDialogs* fileDialogs = nullptr;
    SerialPort* serialPort = nullptr; // the line to the controller
    TimeoutClock* clock = nullptr;    // the reply time-out's clock

    // The real seams, alive for the whole run.
    static Seams system();
};
