#pragma once

#include <QString>

// Points HOME at a fresh, empty folder for this test program and returns it, so
// nothing a test does lands in the user's own folders.
QString useFreshHome();
