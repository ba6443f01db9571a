#include "Unit1.h"

#include "FormLooks.h"
#include "FreshModal.h"
#include "Glyphs.h"
#include "HintRouter.h"
#include "HintTooltips.h"
#include "SecondaryWindow.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QLocale>

TForm1* Form1 = nullptr;

TForm1::TForm1(Host& host, QWidget* parent)
    : QMainWindow(parent), m_host(host), m_ui(std::make_unique<Ui::TForm1>())
{
    m_ui->setupUi(this);
    fixWindowShape();
    FormLooks::apply(this);
    loadGlyphs();
    connectCommands();
    FormCreate();
}

TForm1::~TForm1() = default;

bool TForm1::toolsOn() const
{
    return m_ui->Barradeherramientas1->isChecked();
}

void TForm1::fixWindowShape()
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // The client area is 473 x 216 below the menu bar.
    m_ui->ClientArea->setFixedSize(473, 216);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_ui->N1->setSeparator(true);
    m_ui->N2->setSeparator(true);
    // The menu bar's own arrow button, shown when the menus do not fit, has only a glyph.
    if (auto* moreMenus = m_ui->MainMenu1->findChild<QToolButton*>())
        moreMenus->setAccessibleName(tr("More menus"));
}

// Glyphs are drawn when their button is first shown: at start-up only the Tools button is.
void TForm1::loadGlyphs()
{
    const qreal ratio = devicePixelRatioF();
    for (QToolButton* button : m_ui->BarraDeBotones->findChildren<QToolButton*>()) {
        if (button->isHidden() || !button->icon().isNull())
            continue;
        button->setIcon(Glyphs::icon(button->property("glyph").toString(),
                                     button->property("twoStateGlyph").toBool(), ratio));
    }
}

void TForm1::connectCommands()
{
    connect(m_ui->Terminar1, &QAction::triggered, this, &TForm1::Terminar1Click);
    connect(m_ui->Barradeherramientas1, &QAction::triggered, this, &TForm1::Barradeherramientas1Click);
    connect(m_ui->SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(m_ui->Play1, &QAction::triggered, this, &TForm1::Play1Click);
    connect(m_ui->SpeedButton6, &QToolButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(m_ui->Options1, &QAction::triggered, this, &TForm1::Options1Click);
    connect(m_ui->Play2, &QAction::triggered, this, &TForm1::Play2Click);
    connect(m_ui->SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(m_ui->Gamesof1, &QAction::triggered, this, &TForm1::Gamesof1Click);
    connect(m_ui->NEORAGE1, &QAction::triggered, this, &TForm1::NEORAGE1Click);
    connect(m_ui->SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);
    connect(m_ui->NEOGEO1, &QAction::triggered, this, &TForm1::NEOGEO1Click);
    connect(m_ui->SpeedButton7, &QToolButton::clicked, this, &TForm1::SpeedButton7Click);
    connect(m_ui->Aboutof1, &QAction::triggered, this, &TForm1::Aboutof1Click);
    connect(m_ui->SpeedButton3, &QToolButton::clicked, this, &TForm1::SpeedButton3Click);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
}

void TForm1::FormCreate()
{
    markPresence(m_ui->Hola1, "neogeo.exe");
    markPresence(m_ui->NEORAGE3, "neorage.exe");
    markPresence(m_ui->SystemBIOS2, "neo-geo.rom");

    m_hintRouter = new HintRouter(this);
    connect(m_hintRouter, &HintRouter::hintChanged, this, [this] { MostrarAyuda(m_hintRouter); });
    qApp->installEventFilter(new HintTooltips(this));

    readClockFormats();
    Timer1.setSingleShot(true);
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.start(1);
}

// Newer locale data puts a narrow no-break space before the AM/PM marker. Where no font on
// the system has that letter (Debian 12's Liberation fonts alone lack it) the clock shows an
// ordinary no-break space rather than a box.
void TForm1::readClockFormats()
{
    m_clockFormats = m_host.clockFormats();
    constexpr char32_t narrowBlank = 0x202F;
    if (!QFontMetrics(m_ui->Panel1->font()).inFontUcs4(narrowBlank))
        m_clockFormats.longTime.replace(QChar(narrowBlank), QChar(0x00A0));
}

// A Check item only shows whether its file was there at start-up; clicking it changes nothing.
void TForm1::markPresence(QAction* item, const char* fileName)
{
    item->setChecked(m_host.isFile(fileName));
    const bool present = item->isChecked();
    connect(item, &QAction::triggered, item, [item, present] { item->setChecked(present); });
}

void TForm1::Terminar1Click()
{
    QCoreApplication::quit();
}

void TForm1::Timer1Timer()
{
    const QDateTime now = m_host.now();
    const QLocale locale;
    setCaption(m_ui->Panel1, locale.toString(now.time(), m_clockFormats.longTime));
    setCaption(m_ui->Panel2, locale.toString(now.date(), m_clockFormats.shortDate));
    // One wake-up a second, just after the boundary, from the same reading that made the
    // text: a tick that comes early finds the old second and re-arms for the rest of it.
    Timer1.start(1000 - now.time().msec() + 1);
}

void TForm1::setCaption(QLabel* panel, const QString& text)
{
    if (panel->text() != text)
        panel->setText(text);
}

void TForm1::MostrarAyuda(QObject*)
{
    m_ui->BarraDeEstado->setText(m_hintRouter->hint());
}

void TForm1::setToolButtons(bool on)
{
    m_ui->Barradeherramientas1->setChecked(on);
    QToolButton* const others[] = {m_ui->SpeedButton2, m_ui->SpeedButton3, m_ui->SpeedButton4,
                                   m_ui->SpeedButton6, m_ui->SpeedButton7};
    m_ui->SpeedButton1->setVisible(true);
    for (QToolButton* button : others)
        button->setVisible(on);
    loadGlyphs();
    m_ui->SpeedButton1->setEnabled(on);
    for (QToolButton* button : others)
        button->setEnabled(on);
}

void TForm1::Barradeherramientas1Click()
{
    // The menu has already flipped the check; the state before the click decides.
    const bool wasOn = !m_ui->Barradeherramientas1->isChecked();
    setToolButtons(!wasOn);
}

void TForm1::SpeedButton1Click()
{
    if (m_ui->Barradeherramientas1->isChecked())
        setToolButtons(false);
}

void TForm1::Play1Click()
{
    showFreshModal(Form8, m_host, this);
}

void TForm1::SpeedButton6Click()
{
    Play1Click();
}

void TForm1::Options1Click()
{
    showFreshModal(Form5, m_host, this);
}

void TForm1::Play2Click()
{
    showFreshModal(Form7, m_host, this);
}

void TForm1::SpeedButton2Click()
{
    Play2Click();
}

void TForm1::Gamesof1Click()
{
    showFreshModal(Form6, this);
}

void TForm1::NEORAGE1Click()
{
    showFreshModal(Form3, this);
}

void TForm1::SpeedButton4Click()
{
    NEORAGE1Click();
}

void TForm1::NEOGEO1Click()
{
    showFreshModal(Form4, this);
}

void TForm1::SpeedButton7Click()
{
    NEOGEO1Click();
}

void TForm1::Aboutof1Click()
{
    showFreshModal(Form2, this);
}

void TForm1::SpeedButton3Click()
{
    Aboutof1Click();
}

void TForm1::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange)
        readClockFormats();
    keepFixedSize(this, event);
    QMainWindow::changeEvent(event);
}

void TForm1::showEvent(QShowEvent* event)
{
    centreOnScreen(this);
    QMainWindow::showEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}
