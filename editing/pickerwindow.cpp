#include "editing/pickerwindow.h"

#include "editing/cancelimage.h"
#include "editing/pickeritem.h"
#include "mainwindow/windowfont.h"

PickerWindow::PickerWindow(ModBrevane& mod, QSize clientSize)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), m_mod(mod) {
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(clientSize);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Background);
    setPalette(pal);

    m_imgCancel = new CancelImage(this);
    m_imgCancel->setObjectName(QStringLiteral("imgCancel"));
    m_imgCancel->setGeometry(1, 1, 20, 20);
    connect(m_imgCancel, &CancelImage::clicked, this, &PickerWindow::reject);
}

PickerItem* PickerWindow::addItem(const char* name, int Index, const QString& caption,
                                  const QRect& geometry, int fontPixels) {
    auto* item = new PickerItem(caption, this);
    item->setObjectName(QLatin1String(name));
    item->setProperty("Index", Index);
    item->setFont(brevaneFont(fontPixels));
    item->setGeometry(geometry);
    connect(item, &PickerItem::clicked, this, [this, Index] { pick(Index); });
    return item;
}

void PickerWindow::pick(int Index) {
    m_mod.PickResult = Index;
    accept();
}

void PickerWindow::reject() {
    m_mod.PickResult = -1;
    QDialog::reject();
}
