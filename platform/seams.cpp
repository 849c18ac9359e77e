#include "platform/seams.h"

#include "platform/messageboxes.h"

Seams Seams::system() {
    static SystemMessageBoxes messages;
    Seams seams;
    seams.messages = &messages;
    return seams;
}
