#include "platform/seams.h"

#include "platform/filedialogs.h"
#include "platform/messageboxes.h"

Seams Seams::system() {
    static SystemMessageBoxes messages;
    Seams seams;
    seams.messages = &messages;
    static SystemFileDialogs fileDialogs;
    seams.fileDialogs = &fileDialogs;
    return seams;
}
