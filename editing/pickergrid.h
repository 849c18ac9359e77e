#pragma once

#include <QRect>

// The node and station pickers' 16 x 16 grid, filled column by column below the cancel
// image: cell p is in column p / 16 and row p % 16.
constexpr int PickerGridSide = 16;

inline QRect pickerGridCell(int p) {
    return {(p / PickerGridSide) * 32 + 8, (p % PickerGridSide) * 20 + 24, 25, 18};
}
