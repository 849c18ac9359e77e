#pragma once

#include <QDialog>

#include "table/modbrevane.h"

class CancelImage;
class PickerItem;

// What the three pickers share: a frameless, application-modal, dark-blue window of a
// fixed size with the cancel image in its top-left corner. A picker reports only through
// PickResult: the clicked item's index, or -1 however else it closes (the cancel image,
// Escape or the window manager), so the caller never reads a stale value.
class PickerWindow : public QDialog {
    Q_OBJECT
public:
    static inline const QColor Background{27, 54, 93};

    CancelImage* imgCancel() const { return m_imgCancel; }

    void reject() override;

protected:
    PickerWindow(ModBrevane& mod, QSize clientSize);

    // A clickable item reporting Index when clicked.
    PickerItem* addItem(const char* name, int Index, const QString& caption, const QRect& geometry,
                        int fontPixels);

private:
    void pick(int Index);

    ModBrevane& m_mod;
    CancelImage* m_imgCancel = nullptr;
};
