#include "record/recordpdf.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

#include "files/brvfile.h"
#include "mainwindow/windowfont.h"

namespace {

// Lengths are in points (1/72 inch) on the page.
constexpr double SideMargin = 54;
constexpr double TopMargin = 46;
constexpr double BottomMargin = 58; // the footer stands in it
constexpr double RowHeight = 13;
constexpr double HalfGap = 24;     // between the two halves of a section's rows
constexpr double CellGap = 10;     // between the cells of a row
constexpr double LabelWidth = 104; // of a fact's label
constexpr double HandRowHeight = 32;
// A section starts on a new page when fewer of its lines fit on this one.
constexpr int FewestLinesOnAPage = 8;

const QColor Ink(0x00, 0x00, 0x00);
const QColor Secondary(0x55, 0x55, 0x55);
const QColor Rule(0x99, 0x99, 0x99);
const QColor Shade(0xF0, 0xF0, 0xF0);

QFont recordFont(double points, bool bold = false) {
    QFont font = brevaneFont(WindowFontPixels);
    font.setPointSizeF(points);
    font.setBold(bold);
    // Paper has no pixels to snap glyphs to.
    font.setHintingPreference(QFont::PreferNoHinting);
    // Any letter spacing turns ligatures off: a PDF reader (or a search) finds "ti" and
    // "fi" in "Station" and "fill" only as two letters. This one is 1/64 of a device pixel.
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
    return font;
}

// Lays the record out page by page: once without a painter to count the pages, then
// with one to draw them, so that every footer can say "Page n of N".
class Layout {
public:
    Layout(const SiteRecord& record, QPdfWriter& writer, QPainter* painter, int pageCount)
        : m_record(record), m_writer(writer), m_painter(painter), m_pageCount(pageCount),
          m_unit(writer.resolution() / 72.0),
          m_pageSize(writer.pageLayout().fullRect(QPageLayout::Point).size()), m_left(SideMargin),
          m_right(m_pageSize.width() - SideMargin), m_bottom(m_pageSize.height() - BottomMargin) {}

    int run() {
        title();
        facts(m_record.facts);
        checksum();
        facts(m_record.keys);
        section(m_record.outgoing);
        section(m_record.incoming);
        handBox();
        footer();
        return m_page;
    }

private:
    double width() const { return m_right - m_left; }
    double advance(const QString& text, const QFont& font) const {
        return QFontMetricsF(font, &m_writer).horizontalAdvance(text) / m_unit;
    }
    QRectF device(const QRectF& points) const {
        return {points.topLeft() * m_unit, points.size() * m_unit};
    }

    void put(double x, double baseline, const QString& text, const QFont& font,
             const QColor& colour = Ink) {
        if (m_painter != nullptr) {
            m_painter->setFont(font);
            m_painter->setPen(colour);
            m_painter->drawText(QPointF(x, baseline) * m_unit, text);
        }
    }
    void putRight(double right, double baseline, const QString& text, const QFont& font,
                  const QColor& colour = Ink) {
        put(right - advance(text, font), baseline, text, font, colour);
    }
    // Text that may be longer than its place (a folder), broken anywhere; its height.
    double putWrapped(const QRectF& place, const QString& text, const QFont& font) {
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
        const QRectF bounds =
            QFontMetricsF(font, &m_writer)
                .boundingRect(device(QRectF(place.topLeft(), QSizeF(place.width(), 1e4))), flags,
                              text);
        if (m_painter != nullptr) {
            m_painter->setFont(font);
            m_painter->setPen(Ink);
            m_painter->drawText(device(place.adjusted(0, 0, 0, 1e4)), flags, text);
        }
        return bounds.height() / m_unit;
    }
    void rule(double y, double left, double right, const QColor& colour = Rule) {
        if (m_painter != nullptr) {
            m_painter->setPen(QPen(colour, 0.6 * m_unit));
            m_painter->drawLine(QPointF(left, y) * m_unit, QPointF(right, y) * m_unit);
        }
    }
    void box(const QRectF& place, const QColor& fill) {
        if (m_painter != nullptr) {
            m_painter->setPen(QPen(Rule, 0.6 * m_unit));
            m_painter->setBrush(fill);
            m_painter->drawRect(device(place));
            m_painter->setBrush(Qt::NoBrush);
        }
    }
    void shade(const QRectF& place) {
        if (m_painter != nullptr) {
            m_painter->fillRect(device(place), Shade);
        }
    }

    void footer() {
        const QFont font = recordFont(8.5);
        const double baseline = m_pageSize.height() - BottomMargin + 30;
        rule(baseline - 12, m_left, m_right);
        const QString page = QStringLiteral("Page %1 of %2").arg(m_page).arg(m_pageCount);
        const QString about = QStringLiteral("Site record of %1, controller checksum %2")
                                  .arg(m_record.fileName, m_record.checksum);
        put(m_left, baseline,
            QFontMetricsF(font, &m_writer)
                .elidedText(about, Qt::ElideMiddle, (width() - 80) * m_unit),
            font, Secondary);
        putRight(m_right, baseline, page, font, Secondary);
    }
    void newPage() {
        footer();
        if (m_painter != nullptr) {
            m_writer.newPage();
        }
        ++m_page;
        m_y = TopMargin;
    }
    // Room for height more, on this page or the next.
    void ensure(double height) {
        if (m_y + height > m_bottom) {
            newPage();
        }
    }

    void title() {
        const double baseline = m_y + 20;
        put(m_left, baseline, QStringLiteral("Site record"), recordFont(20, true));
        putRight(m_right, baseline, QStringLiteral("Orvik Brevane"), recordFont(11), Secondary);
        rule(baseline + 9, m_left, m_right, Ink);
        m_y = baseline + 22;
    }

    void facts(const QList<Fact>& facts) {
        const QFont label = recordFont(10, true);
        const QFont value = recordFont(10);
        for (const Fact& fact : facts) {
            const QRectF place(m_left + LabelWidth, m_y, width() - LabelWidth, RowHeight);
            const double height = std::max(RowHeight, putWrapped(place, fact.second, value));
            put(m_left, m_y + QFontMetricsF(value, &m_writer).ascent() / m_unit, fact.first, label);
            m_y += height + 3;
        }
        m_y += 8;
    }

    void checksum() {
        const QRectF place(m_left, m_y, width(), 52);
        box(place, Shade);
        const double baseline = m_y + 26;
        put(m_left + 12, baseline, QStringLiteral("Controller checksum"), recordFont(12, true));
        put(m_left + 12 + LabelWidth + 40, baseline, m_record.checksum, recordFont(20, true));
        put(m_left + 12, m_y + 43,
            QStringLiteral("What the NC reports once it holds this table: the number that "
                           "brevane-cli verify and compare check."),
            recordFont(8.5), Secondary);
        m_y += place.height() + 14;
    }

    // The x of each cell of a row within its half: each column as wide as its widest cell.
    QList<double> cellOffsets(const LinkSection& section) const {
        const QFont body = recordFont(10);
        QList<double> offsets{0};
        for (qsizetype c = 0; c + 1 < section.columns.size(); ++c) {
            double widest = advance(section.columns[c], recordFont(9, true));
            for (const QStringList& row : section.rows) {
                widest = std::max(widest, advance(row[c], body));
            }
            offsets << offsets.last() + widest + CellGap;
        }
        return offsets;
    }

    // Its rows in two halves, as the window shows them: on each page the first half of
    // the rows there on the left, the rest on the right.
    void section(const LinkSection& section) {
        constexpr double HeadingHeight = 22;
        constexpr double ColumnsHeight = 16;
        const QFont heading = recordFont(12, true);
        const QFont columns = recordFont(9, true);
        const QFont body = recordFont(10);
        const double half = (width() - HalfGap) / 2;
        const QList<double> offsets = cellOffsets(section);
        const auto linesThatFit = [&] {
            return int(std::floor((m_bottom - m_y - HeadingHeight - ColumnsHeight) / RowHeight));
        };
        const auto lines = [](qsizetype rows) { return int((rows + 1) / 2); };
        if (!section.rows.isEmpty() &&
            linesThatFit() < std::min(lines(section.rows.size()), FewestLinesOnAPage)) {
            newPage();
        }
        ensure(HeadingHeight + RowHeight);
        put(m_left, m_y + 14, section.heading, heading);
        putRight(m_right, m_y + 14,
                 QStringLiteral("%1 of %2 in use").arg(section.rows.size()).arg(LinkSlots),
                 recordFont(9), Secondary);
        m_y += HeadingHeight;
        for (qsizetype first = 0; first < section.rows.size();) {
            if (first > 0) {
                newPage();
                put(m_left, m_y + 14, section.heading + QStringLiteral(" (continued)"), heading);
                m_y += HeadingHeight;
            }
            const qsizetype left = section.rows.size() - first;
            const int room = int(std::floor((m_bottom - m_y - ColumnsHeight) / RowHeight));
            const int count = int(std::min<qsizetype>(left, qsizetype{2} * room));
            const int leftRows = lines(count);
            for (int side = 0; side < (count > 1 ? 2 : 1); ++side) {
                const double x = m_left + side * (half + HalfGap);
                for (qsizetype c = 0; c < section.columns.size(); ++c) {
                    put(x + offsets[c], m_y + 10, section.columns[c], columns, Secondary);
                }
            }
            rule(m_y + ColumnsHeight - 2, m_left, m_right);
            m_y += ColumnsHeight;
            for (int line = 0; line < leftRows; ++line) {
                const double top = m_y + line * RowHeight;
                if (line % 2 == 1) {
                    shade(QRectF(m_left - 3, top, width() + 6, RowHeight));
                }
                for (int side = 0; side < 2; ++side) {
                    const qsizetype row = first + line + qsizetype{side} * leftRows;
                    if (row >= first + count) {
                        continue;
                    }
                    const double x = m_left + side * (half + HalfGap);
                    for (qsizetype c = 0; c < section.rows[row].size(); ++c) {
                        put(x + offsets[c], top + 9.5, section.rows[row][c], body);
                    }
                }
            }
            m_y += leftRows * RowHeight;
            first += count;
        }
        if (!section.unused.isEmpty()) {
            ensure(RowHeight + 4);
            put(m_left, m_y + 13, section.unused, body, Secondary);
            m_y += RowHeight + 4;
        }
        m_y += 14;
    }

    void handBox() {
        const double boxHeight = double(m_record.handFields.size()) * HandRowHeight;
        const double height = 22 + boxHeight;
        ensure(height);
        put(m_left, m_y + 14, QStringLiteral("Commissioning"), recordFont(12, true));
        putRight(m_right, m_y + 14, QStringLiteral("fill in by hand"), recordFont(9), Secondary);
        m_y += 22;
        box(QRectF(m_left, m_y, width(), boxHeight), Qt::white);
        for (const QString& field : m_record.handFields) {
            put(m_left + 10, m_y + 22, field, recordFont(10));
            rule(m_y + 24, m_left + LabelWidth + 36, m_right - 12);
            m_y += HandRowHeight;
        }
    }

    const SiteRecord& m_record;
    QPdfWriter& m_writer;
    QPainter* m_painter;
    int m_pageCount;
    double m_unit; // device units to the point
    QSizeF m_pageSize;
    double m_left;
    double m_right;
    double m_bottom;
    int m_page = 1;
    double m_y = TopMargin;
};

} // namespace

Paper defaultPaper() {
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? Paper::Letter
                                                                              : Paper::A4;
}

QByteArray siteRecordPdf(const SiteRecord& record, Paper paper, int* pages) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(QStringLiteral("Site record of %1").arg(record.fileName));
    writer.setCreator(QStringLiteral("Orvik Brevane " BREVANE_VERSION));
    const int count = Layout(record, writer, nullptr, 0).run();
    QPainter painter(&writer);
    Layout(record, writer, &painter, count).run();
    painter.end();
    if (pages != nullptr) {
        *pages = count;
    }
    return buffer.data();
}

QString recordPathBeside(const QString& brvPath) {
    const QFileInfo file(brvPath);
    const QString name = file.completeBaseName() + QStringLiteral(".pdf");
    return file.path() == QLatin1String(".") ? name : file.dir().filePath(name);
}

RecordOutcome makeSiteRecord(const RecordRequest& request) {
    const QString pdf =
        request.pdfPath.isEmpty() ? recordPathBeside(request.brvPath) : request.pdfPath;
    RecordOutcome outcome{QDir::toNativeSeparators(pdf), 0, {}};
    const auto cannotWrite = [&outcome](const QString& why) {
        outcome.error = QStringLiteral("cannot write %1: %2").arg(outcome.pdfPath, why);
        return outcome;
    };
    QString error;
    const std::optional<CnfTable> cnf = readBrvFile(request.brvPath, &error);
    if (!cnf) {
        outcome.error = QStringLiteral("cannot read %1: %2").arg(request.brvPath, error);
        return outcome;
    }
    const QFileInfo target(pdf);
    if (target.isDir()) {
        return cannotWrite(QStringLiteral("it is a folder"));
    }
    if (!target.absoluteDir().exists()) {
        return cannotWrite(QStringLiteral("its folder does not exist"));
    }
    if (target.exists() &&
        target.canonicalFilePath() == QFileInfo(request.brvPath).canonicalFilePath()) {
        return cannotWrite(QStringLiteral("it is the configuration file itself"));
    }
    const RecordSource source{request.brvPath, QFileInfo(request.brvPath).lastModified(),
                              QDateTime::currentDateTime(), request.program};
    const QByteArray bytes =
        siteRecordPdf(siteRecord(*cnf, source, request.showKeys), request.paper, &outcome.pages);
    if (!writeFileSafely(pdf, bytes, &error)) {
        return cannotWrite(error);
    }
    return outcome;
}
