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
    static const std::unique_ptr<SerialPort> serialPort = makeSystemSerialPort();
    seams.serialPort = serialPort.get();
    static SteadyClock clock;
    seams.clock = &clock;
    return seams;
}
