#pragma once

class FileDialogs;
class MessageBoxes;

// The seams through which the windows reach the outside world. The program uses the
// real ones; a test hands in its own.
struct Seams {
    MessageBoxes* messages = nullptr;
    FileDialogs* fileDialogs = nullptr;

    // The real seams, alive for the whole run.
    static Seams system();
};
