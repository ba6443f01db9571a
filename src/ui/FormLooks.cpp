#include "FormLooks.h"

#include "Hint.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QHash>
#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace FormLooks {

namespace {

const QColor kButtonFace(192, 192, 192);
const QColor kGreyText(128, 128, 128);

// The window fonts and the installed faces that stand in for them, metric-compatible.
const QHash<QString, QString>& standIns()
{
    static const QHash<QString, QString> faces{{"MS Sans Serif", "Liberation Sans"},
                                               {"Arial", "Liberation Sans"},
                                               {"Times New Roman", "Liberation Serif"}};
    return faces;
}

void applyFont(QWidget* widget)
{
    const QVariant pixelSize = widget->property("pixelSize");
    if (!pixelSize.isValid())
        return;
    QFont font = widget->font();
    font.setFamily(installedFamily(font.family()));
    font.setPixelSize(pixelSize.toInt());
    widget->setFont(font);
}

void applyColours(QWidget* widget)
{
    const QVariant text = widget->property("textColor");
    const QVariant background = widget->property("backgroundColor");
    if (!text.isValid() && !background.isValid())
        return;
    QPalette palette = widget->palette();
    const bool keepWhenDisabled = widget->property("keepColorsWhenDisabled").toBool();
    if (text.isValid()) {
        const QColor colour(text.toString());
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::WindowText, colour);
            palette.setColor(group, QPalette::Text, colour);
            palette.setColor(group, QPalette::ButtonText, colour);
        }
        const QColor disabled = keepWhenDisabled ? colour : kGreyText;
        palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
        palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    }
    if (background.isValid()) {
        const QColor colour(background.toString());
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Window, colour);
            palette.setColor(group, QPalette::Base, colour);
        }
        widget->setAutoFillBackground(true);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
            area->viewport()->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

// A plain label is opaque: it fills its box with its parent's colour before its letters.
void applyOpacity(QWidget* widget)
{
    if (qstrcmp(widget->metaObject()->className(), "QLabel") != 0)
        return;
    widget->setAutoFillBackground(!widget->property("transparent").toBool());
}

QString hintPart(const QString& hint, std::string_view (*part)(std::string_view))
{
    const QByteArray text = hint.toUtf8();
    const std::string_view chosen = part(std::string_view(text.constData(), size_t(text.size())));
    return QString::fromUtf8(chosen.data(), qsizetype(chosen.size()));
}

// A screen reader has nothing to say about a button that shows only a glyph; its hint is
// what a sighted user reads about it, in the tooltip and on the status line.
void applyAccessibleText(QWidget* widget)
{
    const auto* button = qobject_cast<QAbstractButton*>(widget);
    const QString hint = widget->property("hint").toString();
    if (!button || !button->text().isEmpty() || hint.isEmpty() || !widget->accessibleName().isEmpty())
        return;
    widget->setAccessibleName(hintPart(hint, shortHint));
    widget->setAccessibleDescription(hintPart(hint, longHint));
}

} // namespace

QPalette classicPalette()
{
    QPalette palette(Qt::black, kButtonFace, Qt::white, kGreyText, kGreyText, Qt::black, Qt::white, Qt::white,
                     kButtonFace);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, kGreyText);
    palette.setColor(QPalette::Disabled, QPalette::Base, kButtonFace);
    return palette;
}

void apply(QWidget* form)
{
    // Parents first, so a child's palette starts from its parent's colours.
    QList<QWidget*> widgets{form};
    widgets += form->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        applyFont(widget);
        applyColours(widget);
        applyOpacity(widget);
        applyAccessibleText(widget);
    }
}

QString installedFamily(const QString& family)
{
    // Asking for the installed face by name spares Qt a fallback search for each missing
    // family, a good part of the start-up time.
    const auto standIn = standIns().constFind(family);
    if (standIn == standIns().constEnd() || QFontDatabase::hasFamily(family) ||
        !QFontDatabase::hasFamily(*standIn))
        return family;
    return *standIn;
}

void installFontSubstitutes()
{
    // "MS Sans Serif" is a bitmap face of the same metrics family as Arial at these sizes;
    // without a substitute Qt picks DejaVu Sans, which runs wide.
    for (auto face = standIns().constBegin(); face != standIns().constEnd(); ++face)
        QFont::insertSubstitution(face.key(), face.value());
}

} // namespace FormLooks
