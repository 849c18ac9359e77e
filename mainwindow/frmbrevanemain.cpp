#include "mainwindow/frmbrevanemain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWindow>

#include "mainwindow/centring.h"
#include "mainwindow/clicklabel.h"
#include "mainwindow/keybox.h"
#include "mainwindow/rowcheckbox.h"
#include "mainwindow/windowfont.h"
#include "platform/folders.h"
#include "table/linktext.h"

namespace {

const QColor EnabledText(0x00, 0x00, 0x00);
const QColor DisabledText(0xC0, 0xC0, 0xC0);

// The client area: white, with the rule under the headings and the divider between
// the two halves.
class ClientArea final : public QWidget {
public:
    explicit ClientArea(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("client"));
        setFixedSize(frmBrevaneMain::ClientWidth, frmBrevaneMain::ClientHeight);
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::white);
        setPalette(pal);
        setFont(brevaneFont(WindowFontPixels));
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(0, 32, 1000, 32);  // Line1
        painter.drawLine(584, 0, 584, 560); // Line2
    }
};

template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* fixedLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                   int width, int height) {
    auto* label = new QLabel(text, parent);
    // A label guesses markup from its text; a path like "<b>Hall &amp; 1.BRV" is no markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return place(label, name, left, top, width, height);
}

} // namespace

frmBrevaneMain::frmBrevaneMain(ModBrevane& mod, QWidget* parent) : QMainWindow(parent), m_mod(mod) {
    setObjectName(QStringLiteral("frmBrevaneMain"));
    setWindowTitle(QStringLiteral("Orvik Brevane Rev 01"));
    m_client = new ClientArea(this);
    setCentralWidget(m_client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildMenus();
    buildFixedControls();
    setAcceptDrops(true);
    Form_Load();
}

void frmBrevaneMain::buildMenus() {
    QMenuBar* bar = menuBar();
    m_mnuFile = bar->addMenu(QStringLiteral("File"));
    m_mnuFile->setObjectName(QStringLiteral("mnuFile"));
    auto addEntry = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    m_mnuFileNew = addEntry(m_mnuFile, "mnuFileNew", QStringLiteral("New"));
    m_mnuFileOpen = addEntry(m_mnuFile, "mnuFileOpen", QStringLiteral("Open"));
    m_mnuFileSave = addEntry(m_mnuFile, "mnuFileSave", QStringLiteral("Save"));
    m_mnuFileSaveAs = addEntry(m_mnuFile, "mnuFileSaveAs", QStringLiteral("Save As"));
    m_mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuSep"));
    m_mnuExit = addEntry(m_mnuFile, "mnuExit", QStringLiteral("Exit"));

    m_mnuComPortOpen = bar->addMenu(QStringLiteral("ComPort"));
    m_mnuComPortOpen->setObjectName(QStringLiteral("mnuComPortOpen"));
    for (int index = 0; index < static_cast<int>(m_mnuComPort.size()); ++index) {
        QAction* entry =
            addEntry(m_mnuComPortOpen, "mnuComPort", QStringLiteral("COM%1").arg(index + 1));
        entry->setProperty("Index", index);
        entry->setCheckable(true);
        entry->setChecked(index == 0);
        m_mnuComPort.at(index) = entry;
    }

    m_mnuDownload = bar->addAction(QStringLiteral("Download"));
    m_mnuDownload->setObjectName(QStringLiteral("mnuDownload"));
    m_mnuUpload = bar->addAction(QStringLiteral("Upload"));
    m_mnuUpload->setObjectName(QStringLiteral("mnuUpload"));
}

void frmBrevaneMain::buildFixedControls() {
    QWidget* c = m_client;
    fixedLabel(c, "lblOutgoing", QStringLiteral("Outgoing Links"), 8, 8, 97, 25);
    fixedLabel(c, "lblOKey", QStringLiteral("Key"), 440, 6, 33, 25);
    m_txtOKey = place(new KeyBox(c), "txtOKey", 480, 4, 97, 26);
    fixedLabel(c, "Label1", QStringLiteral("Incoming Links"), 592, 8, 97, 25);
    fixedLabel(c, "Label2", QStringLiteral("Key"), 856, 6, 33, 25);
    m_txtIKey = place(new KeyBox(c), "txtIKey", 896, 4, 97, 26);
    setTabOrder(m_txtOKey, m_txtIKey);
    m_lblFileName = fixedLabel(c, "lblFileName", QString(), 0, 560, 1001, 25);

    m_prgUpDown = place(new QProgressBar(c), "prgUpDown", 96, 0, 121, 12);
    m_prgUpDown->setTextVisible(false);
    m_prgUpDown->setValue(0);       // a run sets the range when it starts
    m_prgUpDown->setVisible(false); // shown only while a transfer runs
}

void frmBrevaneMain::buildRows() {
    for (int i = 0; i < LinkSlots; ++i) {
        const int c = i / 32;
        const int top = 16 * (i % 32) + 40;
        auto makeLabel = [&](const char* name, const QString& caption, int left, int width) {
            auto* label = new ClickLabel(caption, m_client);
            label->setProperty("Index", i);
            return place(label, name, left, top, width, 17);
        };
        auto makeCheck = [&](const char* name, int left) {
            auto* box = new RowCheckBox(linkCaption(i), m_client);
            box->setProperty("Index", i);
            return place(box, name, left, top, 64, 18);
        };
        m_chkOLink.at(i) = makeCheck("chkOLink", 304 * c + 16);
        m_lblOLinkNode.at(i) =
            makeLabel("lblOLinkNode", QStringLiteral("Node: NC"), 304 * c + 80, 65);
        m_lblOLinkType.at(i) =
            makeLabel("lblOLinkType", QStringLiteral("Quendel"), 304 * c + 152, 73);
        m_lblOLinkRef.at(i) = makeLabel("lblOLinkRef", QStringLiteral("01"), 304 * c + 232, 41);
        m_chkILink.at(i) = makeCheck("chkILink", 200 * c + 608);
        m_lblILinkRef.at(i) =
            makeLabel("lblILinkRef", QStringLiteral("Quendel NC.00"), 200 * c + 672, 113);
    }
}

void frmBrevaneMain::Form_Load() {
    adjustSize();
    centreOnScreen(*this, [this] { fitToScreen(); });
    connect(windowHandle(), &QWindow::screenChanged, this, &frmBrevaneMain::fitToScreen,
            Qt::QueuedConnection);
    prepareWorkingFolders(workingRoot());
    m_mod.CnfPath = NoFile;
    ShowFileName();
    buildRows();
    m_mod.ResetCnf();
    ShowCnf();
    m_mod.Modified = false;
    m_mod.ComPortNum = 1;
}

void frmBrevaneMain::fitToScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        return;
    }
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize room =
        screen->availableGeometry().size() - frame - QSize(0, menuBar()->sizeHint().height());
    const QSize client(ClientWidth, ClientHeight);
    const QSize view = scrolledViewSize(
        client, room, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this));
    if (m_scroller == nullptr) {
        if (view == client) {
            return;
        }
        m_scroller = new QScrollArea(this);
        m_scroller->setObjectName(QStringLiteral("scroller"));
        m_scroller->setFrameShape(QFrame::NoFrame);
        m_scroller->setWidget(takeCentralWidget());
        setCentralWidget(m_scroller);
        m_scroller->show(); // a child added to a shown window is hidden until shown
    }
    m_scroller->setFixedSize(view);
    layout()->activate(); // the window takes the view's size now, not once events are served
    // Moved to this screen, it stays inside the work area.
    const QRect work = screen->availableGeometry();
    const QRect outer = frameGeometry();
    move(qMax(work.left(), qMin(outer.left(), work.right() + 1 - outer.width())),
         qMax(work.top(), qMin(outer.top(), work.bottom() + 1 - outer.height())));
}

void frmBrevaneMain::ShowCnf() {
    m_mod.Refreshing = true;
    for (int i = 0; i < LinkSlots; ++i) {
        ShowOEnabled(i);
        ShowONode(i);
        ShowOType(i);
        ShowORef(i);
        ShowIEnabled(i);
        ShowIRef(i);
    }
    m_mod.Refreshing = false;
}

void frmBrevaneMain::ShowOEnabled(int i) {
    const bool on = m_mod.field(i, OEnabled) != 0;
    m_chkOLink.at(i)->setChecked(on);
    m_lblOLinkNode.at(i)->setForeColor(on ? EnabledText : DisabledText);
    m_lblOLinkType.at(i)->setForeColor(on ? EnabledText : DisabledText);
    m_lblOLinkRef.at(i)->setForeColor(on ? EnabledText : DisabledText);
}

void frmBrevaneMain::ShowONode(int i) {
    m_lblOLinkNode.at(i)->setText(nodeCaption(m_mod.field(i, ONode)));
}

void frmBrevaneMain::ShowOType(int i) {
    if (const auto caption = typeCaption(m_mod.field(i, OType))) {
        m_lblOLinkType.at(i)->setText(*caption);
    }
}

void frmBrevaneMain::ShowORef(int i) {
    m_lblOLinkRef.at(i)->setText(outgoingRefCaption(m_mod.field(i, OType), m_mod.field(i, ORef)));
}

void frmBrevaneMain::ShowIEnabled(int i) {
    const bool on = m_mod.field(i, IEnabled) != 0;
    m_chkILink.at(i)->setChecked(on);
    m_lblILinkRef.at(i)->setForeColor(on ? EnabledText : DisabledText);
}

void frmBrevaneMain::ShowIRef(int i) {
    m_lblILinkRef.at(i)->setText(incomingRefCaption(m_mod.field(i, IRef)));
}

void frmBrevaneMain::ShowFileName() {
    m_lblFileName->setText(QLatin1Char(' ') + m_mod.CnfPath);
}

void frmBrevaneMain::closeEvent(QCloseEvent* event) {
    int Cancel = 0;
    emit unloading(Cancel);
    if (Cancel != 0) {
        event->ignore();
        return;
    }
    event->accept();
}

QString frmBrevaneMain::droppedBrvFile(const QMimeData* data) {
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) {
        return {};
    }
    const QString path = urls.first().toLocalFile();
    return path.endsWith(QStringLiteral(".BRV"), Qt::CaseInsensitive) ? path : QString();
}

void frmBrevaneMain::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedBrvFile(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void frmBrevaneMain::dropEvent(QDropEvent* event) {
    const QString path = droppedBrvFile(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opening may ask the discard question; the drag's source is not kept waiting for it.
    QMetaObject::invokeMethod(
        this, [this, path] { emit fileDropped(path); }, Qt::QueuedConnection);
}
