#include "platform/console.h"

#ifdef Q_OS_WIN
#include <windows.h>

namespace {

// A handle the program was given: a file, a pipe or a console.
bool given(DWORD stream) {
    const HANDLE handle = GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The parent's console, written to directly: the C library's streams of a desktop program
// are tied to no file, and not every C library lets them be reopened on the console.
bool writeToParentConsole(const QString& text) {
    if (AttachConsole(ATTACH_PARENT_PROCESS) == 0 && GetLastError() != ERROR_ACCESS_DENIED) {
        return false; // no parent console (ERROR_ACCESS_DENIED: attached already)
    }
    const HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool done =
        WriteConsoleW(console, text.utf16(), DWORD(text.size()), &written, nullptr) != 0;
    CloseHandle(console);
    return done;
}

} // namespace

void printForUser(std::FILE* stream, const QString& text) {
    if (!given(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE) &&
        writeToParentConsole(text)) {
        return;
    }
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
#else
void printForUser(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}
#endif
