// One picture description, two renderers: what QPainter receives from the
// desktop program's painter (recorded by a paint engine of the test's own)
// and what the SVG writer writes are the same shapes, in the same order,
// at the same places, for the logo, the score histogram and the genome map.
#include "ui/picture_painter.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>

#include "report/pictures.h"
#include "report/svg_writer.h"

using namespace xoprex;

namespace {

QString at(double value) {
    return QString::number(std::round(value * 100.0) / 100.0 + 0.0, 'f', 2);
}

// Records every primitive QPainter hands it as one line of text.
class RecordingEngine : public QPaintEngine {
  public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    QStringList shapes;

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & QPaintEngine::DirtyTransform) {
            transform_ = state.transform();
        }
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i) {
            const QRectF& r = rects[i];
            shapes << QStringLiteral("rect %1 %2 %3 %4")
                          .arg(at(r.x()), at(r.y()), at(r.width()), at(r.height()));
        }
    }
    void drawLines(const QLineF* lines, int count) override {
        for (int i = 0; i < count; ++i) {
            const QLineF& l = lines[i];
            shapes << QStringLiteral("line %1 %2 %3 %4")
                          .arg(at(l.x1()), at(l.y1()), at(l.x2()), at(l.y2()));
        }
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        shapes << QStringLiteral("%1 %2 %3 %4")
                      .arg(mode == PolylineMode ? QStringLiteral("polyline")
                                                : QStringLiteral("polygon"))
                      .arg(count)
                      .arg(at(points[0].x()), at(points[0].y()));
    }
    void drawPath(const QPainterPath& path) override {
        const QRectF r = path.boundingRect();
        shapes << QStringLiteral("glyph %1 %2 %3 %4")
                      .arg(at(r.x()), at(r.y()), at(r.width()), at(r.height()));
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const bool turned = std::fabs(transform_.m12()) > 1e-9;
        shapes << QStringLiteral("text %1 %2")
                      .arg(turned ? QStringLiteral("-") : at(transform_.map(p).y()), item.text());
    }

  private:
    QTransform transform_;
};

class RecordingDevice : public QPaintDevice {
  public:
    RecordingEngine engine;
    QPaintEngine* paintEngine() const override { return const_cast<RecordingEngine*>(&engine); }

  protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
            case PdmHeight:
                return 2000;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 96;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
            default:
                return QPaintDevice::metric(metric);
        }
    }
};

QStringList painted(const Picture& picture) {
    RecordingDevice device;
    {
        QPainter painter(&device);
        xoprex::ui::drawPicture(painter, picture);
    }
    QStringList shapes = device.engine.shapes;
    shapes.removeFirst();  // the white ground
    return shapes;
}

QString unescaped(QString text) {
    return text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
}

// The SVG's shapes, one element a line, in the recording's terms.
QStringList written(const Picture& picture) {
    std::string svg;
    appendSvg(svg, picture);
    QStringList shapes;
    const QRegularExpression attribute(QStringLiteral("([a-z0-9-]+)=\"([^\"]*)\""));
    for (const QString& line : QString::fromStdString(svg).split(QLatin1Char('\n'))) {
        QMap<QString, QString> a;
        for (const auto& match : attribute.globalMatch(line)) {
            a[match.captured(1)] = match.captured(2);
        }
        const auto number = [&a](const char* name) {
            return at(a[QLatin1String(name)].toDouble());
        };
        if (line.startsWith(QStringLiteral("<rect")) && a[QStringLiteral("width")] != "100%") {
            shapes << QStringLiteral("rect %1 %2 %3 %4")
                          .arg(number("x"), number("y"), number("width"), number("height"));
        } else if (line.startsWith(QStringLiteral("<line"))) {
            shapes << QStringLiteral("line %1 %2 %3 %4")
                          .arg(number("x1"), number("y1"), number("x2"), number("y2"));
        } else if (line.startsWith(QStringLiteral("<poly"))) {
            const QStringList points = a[QStringLiteral("points")].split(QLatin1Char(' '));
            const QStringList first = points.front().split(QLatin1Char(','));
            shapes << QStringLiteral("%1 %2 %3 %4")
                          .arg(line.startsWith(QStringLiteral("<polyline")) ? "polyline"
                                                                            : "polygon")
                          .arg(points.size())
                          .arg(at(first[0].toDouble()), at(first[1].toDouble()));
        } else if (line.startsWith(QStringLiteral("<path"))) {
            double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
            const QRegularExpression pair(QStringLiteral("(-?[0-9.]+),(-?[0-9.]+)"));
            for (const auto& match : pair.globalMatch(a[QStringLiteral("d")])) {
                x0 = std::min(x0, match.captured(1).toDouble());
                x1 = std::max(x1, match.captured(1).toDouble());
                y0 = std::min(y0, match.captured(2).toDouble());
                y1 = std::max(y1, match.captured(2).toDouble());
            }
            shapes << QStringLiteral("glyph %1 %2 %3 %4")
                          .arg(at(x0), at(y0), at(x1 - x0), at(y1 - y0));
        } else if (line.startsWith(QStringLiteral("<text"))) {
            QString content =
                line.section(QLatin1Char('>'), 1).section(QStringLiteral("</text"), 0, 0);
            content.remove(QRegularExpression(QStringLiteral("^<title>.*</title>")));
            shapes << QStringLiteral("text %1 %2")
                          .arg(a.contains(QStringLiteral("transform")) ? QStringLiteral("-")
                                                                       : number("y"),
                               unescaped(content));
        }
    }
    return shapes;
}

void compare(const Picture& picture) {
    const QStringList fromQt = painted(picture);
    const QStringList fromSvg = written(picture);
    QVERIFY(fromQt.size() > 20);
    QCOMPARE(fromQt.size(), fromSvg.size());
    for (qsizetype i = 0; i < fromQt.size(); ++i) {
        // Glyph outlines are written to a hundredth of a pixel.
        if (fromQt[i].startsWith(QStringLiteral("glyph"))) {
            const QStringList q = fromQt[i].split(QLatin1Char(' '));
            const QStringList s = fromSvg[i].split(QLatin1Char(' '));
            for (int k = 1; k < 5; ++k) {
                QVERIFY2(std::fabs(q[k].toDouble() - s[k].toDouble()) <= 0.011,
                         qPrintable(fromQt[i] + " / " + fromSvg[i]));
            }
        } else {
            QCOMPARE(fromQt[i], fromSvg[i]);
        }
    }
}

}  // namespace

class PicturePainterTest : public QObject {
    Q_OBJECT
  private slots:
    void qtAndSvgDrawTheSameShapes() {
        MotifModel model;
        for (const auto& f : {std::array<double, 4>{0.7, 0.1, 0.1, 0.1},
                              std::array<double, 4>{0.25, 0.25, 0.25, 0.25},
                              std::array<double, 4>{0.0, 0.5, 0.5, 0.0}}) {
            PositionRecord position;
            position.frequencies = f;
            position.counts = {f[0] * 20, f[1] * 20, f[2] * 20, f[3] * 20};
            model.positions.push_back(position);
        }
        compare(
            logoPicture(logoColumns(model, false), logoColumns(model, true), "crp <&>", 600, 420));
        compare(scorePicture(scorePlot({10, 11, 11.5, 12, 14, 15}, {9, 12.5, 13, 30}, 10.5, "Ri"),
                             800, 380));

        MapRecord record{"a record with a name far too long for its column", 20000, {}, {}};
        GeneRecord gene;
        gene.begin = 1000;
        gene.end = 4000;
        gene.sense = true;
        gene.gene = "crp";
        record.genes = {gene, gene};
        record.genes[1].begin = 9000;
        record.genes[1].end = 8990;  // too short for an arrow
        record.genes[1].sense = false;
        record.hits = {{100, 119, true}, {101, 120, false}, {5000, 5019, true}};
        MapView view;
        view.width = 900;
        view.height = 2 * MapGeometry::kTrackHeight + MapGeometry::kFooter;
        view.basesPerPixel = fittedBasesPerPixel({&record}, view.width);
        view.markedTrack = 1;
        view.marked = record.hits[2];
        compare(genomeMapPicture({&record, &record}, view));
    }
};

QTEST_MAIN(PicturePainterTest)
#include "picture_painter_test.moc"
