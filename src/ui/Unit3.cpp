#include "Unit3.h"

#include <QFontMetrics>

TForm3* Form3 = nullptr;

namespace {

// Labels size themselves to their text. Where the face standing in for Arial runs wider
// than the laid-out box, the box grows to the right so the last letter is not cut.
void growToText(QLabel* label)
{
    const QFontMetrics metrics(label->font());
    const int needed =
        qMax(metrics.boundingRect(label->text()).right() + 1, metrics.horizontalAdvance(label->text()));
    if (needed > label->width())
        label->resize(needed, label->height());
}

} // namespace

TForm3::TForm3(QWidget* parent) : SecondaryWindow(parent)
{
    m_ui.setupUi(this);
    finishSetup();
    for (QLabel* label : m_ui.Panel1->findChildren<QLabel*>())
        growToText(label);
}
