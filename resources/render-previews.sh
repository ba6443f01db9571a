#!/bin/sh
# Renders every picture with QtSvg, as the program does, into PNG previews for a look by eye:
# each picture at 1x and 2x, a magnified copy of both, and one contact sheet that also shows the
# banner at the sizes the windows stretch it to and the glyph halves on a button face.
# Usage: resources/render-previews.sh [output-dir]   (default: build/picture-previews)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../build/picture-previews"}
mkdir -p "$out"
tool="$out/svgpreview"
cat > "$out/svgpreview.cpp" <<'CPP'
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

static QImage render(const QString &file, QSize size, qreal dpr)
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

static void checker(QPainter &p, QRect r)
{
    for (int y = r.top(); y <= r.bottom(); y += 8)
        for (int x = r.left(); x <= r.right(); x += 8)
            p.fillRect(QRect(x, y, 8, 8).intersected(r), ((x - r.left()) / 8 + (y - r.top()) / 8) % 2 ? QColor(200, 200, 200) : QColor(150, 150, 150));
}

static void drawImage(QPainter &p, QPoint at, const QImage &img, int zoom)
{
    QImage plain = img;
    plain.setDevicePixelRatio(1);
    p.drawImage(QRect(at, plain.size() * zoom), plain);
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QImage sheet(1000, 2400, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(96, 96, 104));
    QPainter sp(&sheet);
    sp.setPen(Qt::white);
    int y = 8;
    for (int i = 2; i < argc; ++i) {
        const QString file = QString::fromLocal8Bit(argv[i]);
        const QString name = QFileInfo(file).completeBaseName();
        QSvgRenderer probe(file);
        if (!probe.isValid()) {
            std::fprintf(stderr, "%s: not valid\n", argv[i]);
            return 1;
        }
        const QSize size = probe.defaultSize();
        std::printf("%s: %dx%d viewBox %g,%g %gx%g\n", qPrintable(name), size.width(), size.height(), probe.viewBoxF().x(),
                    probe.viewBoxF().y(), probe.viewBoxF().width(), probe.viewBoxF().height());
        const QImage one = render(file, size, 1), two = render(file, size, 2);
        one.save(out + "/" + name + "@1x.png");
        two.save(out + "/" + name + "@2x.png");
        const int zoom = size.width() > 120 ? 2 : 8;
        QImage big(size.width() * zoom * 2 + 24, size.height() * zoom + 16, QImage::Format_ARGB32_Premultiplied);
        big.fill(QColor(60, 60, 60));
        QPainter bp(&big);
        checker(bp, QRect(QPoint(8, 8), size * zoom));
        checker(bp, QRect(QPoint(16 + size.width() * zoom, 8), size * zoom));
        drawImage(bp, QPoint(8, 8), one, zoom);
        drawImage(bp, QPoint(16 + size.width() * zoom, 8), two, zoom / 2);
        bp.end();
        big.save(out + "/" + name + "-zoom.png");
        // Sheet row: 1x, 2x, 3x nearest (shows the pixels), then any stretched uses.
        sp.drawText(8, y + 10, name);
        y += 14;
        int x = 8;
        for (const QImage &img : {one, two}) {
            checker(sp, QRect(QPoint(x, y), img.size()));
            drawImage(sp, QPoint(x, y), img, 1);
            x += img.width() + 12;
        }
        int rowHeight = two.height();
        auto stretched = [&](QSize s, QColor ground) {
            if (x + s.width() > sheet.width()) {
                y += rowHeight + 8;
                x = 8;
                rowHeight = 0;
            }
            const QImage img = render(file, s, 1);
            sp.fillRect(QRect(QPoint(x, y), s), ground);
            drawImage(sp, QPoint(x, y), img, 1);
            x += s.width() + 12;
            rowHeight = qMax(rowHeight, s.height());
        };
        if (name == "banner") {
            y += rowHeight + 8;
            x = 8;
            rowHeight = 0;
            for (QSize s : {QSize(473, 49), QSize(361, 25), QSize(261, 49), QSize(321, 33), QSize(284, 25)})
                stretched(s, Qt::black);
        } else if (name == "icon") {
            for (int side : {16, 24, 48, 256})
                stretched(QSize(side, side), Qt::transparent);
        } else if (name == "emblem") {
            stretched(QSize(83, 78), Qt::black);
        } else if (name == "circled_c") {
            stretched(QSize(31, 19), QColor(240, 240, 240));
        } else if (name.startsWith("glyph")) {
            for (QColor face : {QColor(192, 192, 192), QColor(239, 239, 239)}) {
                for (qreal dpr : {1.0, 2.0}) {
                    const QImage img = render(file, size, dpr);
                    QImage framed(img.size() + QSize(8, 8) * dpr, img.format());
                    framed.fill(face);
                    QPainter fp(&framed);
                    fp.drawImage(QPoint(4, 4) * dpr, [&] { QImage c = img; c.setDevicePixelRatio(1); return c; }());
                    fp.end();
                    drawImage(sp, QPoint(x, y), framed, 2);
                    x += framed.width() * 2 + 12;
                    rowHeight = qMax(rowHeight, framed.height() * 2);
                }
            }
        }
        y += rowHeight + 10;
    }
    sp.end();
    sheet.copy(0, 0, sheet.width(), qMin(sheet.height(), y + 8)).save(out + "/contact.png");
    return 0;
}
CPP
if [ ! -x "$tool" ] || [ "$out/svgpreview.cpp" -nt "$tool" ]; then
    g++ -std=c++20 -O1 -fPIC -o "$tool" "$out/svgpreview.cpp" $(pkg-config --cflags --libs Qt6Svg Qt6Gui Qt6Core)
fi
QT_QPA_PLATFORM=offscreen "$tool" "$out" ${PICTURES:-"$here/pictures"}/*.svg
echo "previews in $out"
