#include "platform/seams.h"

#include "platform/clock.h"
#include "platform/filedialogs.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"

Seams Seams::system() {
    static SystemMessageBoxes messages;
    Seams seams;
    seams.messages = &messages;
    static SystemFileDialogs fileDialogs;
    seams.fileDialogs = &fileDialogs;
    static SystemSerialPort serialPort;
    seams.serialPort = &serialPort;
    static SteadyClock clock;
    seams.clock = &clock;
    return seams;
}
