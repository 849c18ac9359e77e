#pragma once

class MessageBoxes;

// The seams through which the windows reach the outside world. The program uses the
// real ones; a test hands in its own.
struct Seams {
    MessageBoxes* messages = nullptr;

    // The real seams, alive for the whole run.
    static Seams system();
};
