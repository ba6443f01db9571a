// A look by eye at the pictures: renders each SVG with QtSvg, as the program does, into PNG
// previews: the picture at 1x and 2x, a magnified copy of both, and one contact sheet that also
// shows the banner at the sizes the windows stretch it to and the glyph halves on a button face.
// Usage: orvelane_render_previews OUTPUT-DIR PICTURE.svg...   (the target picture_previews)
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QImage render(const QString& file, QSize size, qreal dpr)
{
    QSvgRenderer svg(file);
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// A grey checkerboard, so transparent pixels show.
void checker(QPainter& painter, QRect area)
{
    for (int y = area.top(); y <= area.bottom(); y += 8)
        for (int x = area.left(); x <= area.right(); x += 8) {
            const bool dark = ((x - area.left()) / 8 + (y - area.top()) / 8) % 2 == 0;
            painter.fillRect(QRect(x, y, 8, 8).intersected(area),
                             dark ? QColor(150, 150, 150) : QColor(200, 200, 200));
        }
}

// Draws `image` pixel for pixel, `zoom` times magnified, whatever its device pixel ratio.
void drawPixels(QPainter& painter, QPoint at, QImage image, int zoom)
{
    image.setDevicePixelRatio(1);
    painter.drawImage(QRect(at, image.size() * zoom), image);
}

void saveZoomed(const QString& path, QSize size, const QImage& one, const QImage& two)
{
    const int zoom = size.width() > 120 ? 2 : 8;
    QImage big(size.width() * zoom * 2 + 24, size.height() * zoom + 16, QImage::Format_ARGB32_Premultiplied);
    big.fill(QColor(60, 60, 60));
    QPainter painter(&big);
    const QPoint left(8, 8), right(16 + size.width() * zoom, 8);
    checker(painter, QRect(left, size * zoom));
    checker(painter, QRect(right, size * zoom));
    drawPixels(painter, left, one, zoom);
    drawPixels(painter, right, two, zoom / 2);
    painter.end();
    big.save(path);
}

// The contact sheet, filled row by row, left to right.
class Sheet {
public:
    Sheet() : m_image(1000, 2400, QImage::Format_ARGB32_Premultiplied), m_painter(&m_image)
    {
        m_image.fill(QColor(96, 96, 104));
        m_painter.setPen(Qt::white);
    }

    void title(const QString& name)
    {
        m_painter.drawText(8, m_y + 10, name);
        m_y += 14;
    }

    void place(const QImage& image, int zoom, const QColor& ground)
    {
        const QSize size = image.size() * zoom / image.devicePixelRatio();
        if (m_x + size.width() > m_image.width())
            newRow();
        if (ground.alpha() == 0)
            checker(m_painter, QRect(QPoint(m_x, m_y), size));
        else
            m_painter.fillRect(QRect(QPoint(m_x, m_y), size), ground);
        m_painter.drawImage(QRect(QPoint(m_x, m_y), size), image);
        m_x += size.width() + 12;
        m_rowHeight = std::max(m_rowHeight, size.height());
    }

    void newRow(int gap = 8)
    {
        m_y += m_rowHeight + gap;
        m_x = 8;
        m_rowHeight = 0;
    }

    void save(const QString& path)
    {
        m_painter.end();
        m_image.copy(0, 0, m_image.width(), std::min(m_image.height(), m_y + 8)).save(path);
    }

private:
    QImage m_image;
    QPainter m_painter;
    int m_x = 8;
    int m_y = 8;
    int m_rowHeight = 0;
};

// The glyph on the two button faces, at 1x and 2x, magnified twice.
void placeGlyph(Sheet& sheet, const QString& file, QSize size)
{
    for (const QColor& face : {QColor(192, 192, 192), QColor(239, 239, 239)})
        for (const qreal dpr : {1.0, 2.0}) {
            QImage glyph = render(file, size, dpr);
            glyph.setDevicePixelRatio(1);
            QImage framed(glyph.size() + QSize(8, 8) * dpr, glyph.format());
            framed.fill(face);
            QPainter painter(&framed);
            painter.drawImage(QPoint(4, 4) * dpr, glyph);
            painter.end();
            sheet.place(framed, 2, face);
        }
}

// The sizes the windows show `name` at, beside its own.
void placeUses(Sheet& sheet, const QString& file, const QString& name, QSize size)
{
    const auto stretched = [&](std::vector<QSize> sizes, const QColor& ground) {
        for (const QSize used : sizes)
            sheet.place(render(file, used, 1), 1, ground);
    };
    if (name == "banner") {
        sheet.newRow();
        stretched({{473, 49}, {361, 25}, {261, 49}, {321, 33}, {284, 25}}, Qt::black);
    } else if (name == "icon") {
        stretched({{16, 16}, {24, 24}, {48, 48}, {256, 256}}, Qt::transparent);
    } else if (name == "emblem") {
        stretched({{83, 78}}, Qt::black);
    } else if (name == "circled_c") {
        stretched({{31, 19}}, QColor(240, 240, 240));
    } else if (name.startsWith("glyph")) {
        placeGlyph(sheet, file, size);
    }
}

bool preview(const QString& out, const QString& file, Sheet& sheet)
{
    const QString name = QFileInfo(file).completeBaseName();
    const QSvgRenderer probe(file);
    if (!probe.isValid()) {
        std::fprintf(stderr, "%s: not valid\n", qPrintable(file));
        return false;
    }
    const QSize size = probe.defaultSize();
    const QRectF box = probe.viewBoxF();
    std::printf("%s: %dx%d viewBox %g,%g %gx%g\n", qPrintable(name), size.width(), size.height(), box.x(),
                box.y(), box.width(), box.height());
    const QImage one = render(file, size, 1), two = render(file, size, 2);
    one.save(out + "/" + name + "@1x.png");
    two.save(out + "/" + name + "@2x.png");
    saveZoomed(out + "/" + name + "-zoom.png", size, one, two);
    sheet.title(name);
    sheet.place(one, 1, Qt::transparent);
    sheet.place(two, 2, Qt::transparent);
    placeUses(sheet, file, name, size);
    sheet.newRow(10);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIR PICTURE.svg...\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    Sheet sheet;
    for (int i = 2; i < argc; ++i)
        if (!preview(out, QString::fromLocal8Bit(argv[i]), sheet))
            return 1;
    sheet.save(out + "/contact.png");
    std::printf("previews in %s\n", qPrintable(out));
    return 0;
}
