#include "Unit8.h"

#include "GameLaunch.h"
#include "TextFit.h"
#include "ui_Unit8.h"

TForm8* Form8 = nullptr;

namespace {

const OpenFileRequest OpenDialog1{QStringLiteral("Files of NEO-GEO"),
                                  {QStringLiteral("*.ROM"), QStringLiteral("*.038")}};

} // namespace

TForm8::TForm8(Host& host, QWidget* parent)
    : SecondaryWindow(parent), m_host(host), m_ui(std::make_unique<Ui::TForm8>())
{
    m_ui->setupUi(this);
    finishSetup();
    TextFit::layOutLikeRichEdit(m_ui->RichEdit1);
    // Labels size themselves to their text, whatever face stands in for the window font.
    m_ui->Label2->adjustSize();
    setPlayButton(m_ui->BitBtn1, m_host, kNeoRageProgram);
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, &TForm8::BitBtn1Click);
}

TForm8::~TForm8() = default;

void TForm8::BitBtn1Click()
{
    const std::optional<std::string> chosen = m_host.chooseOpenFile(this, OpenDialog1);
    // A cancelled dialog starts nothing: no emulator is looked for in the root of the drive.
    if (!chosen || chosen->empty())
        return;
    m_ui->Label1->clear();

    const std::optional<GamePath> split = splitGamePath(*chosen, m_host.pathSeparator());
    if (!split) {
        refuseGamePath();
        return;
    }
    launchChosenGame(*split);
}

void TForm8::launchChosenGame(const GamePath& game)
{
    StartRequest request = neoRageRequest(game, OptionsRecord(), m_host.pathSeparator());
    // The switches are read once a game is chosen, where the start is prepared, after the
    // saves of any click made before: a change made in the configuration window while the
    // dialog was open still counts.
    request.readOptions = m_host.options().launchOptionsReader();
    startProgram(m_host, request);
}

// "Loading ..." stands for an emulator that was started: it shows once the process exists.
void TForm8::showStarted(const StartOutcome& outcome)
{
    showCaption(m_ui->Label1, "Loading ...");
    showCaption(m_ui->Label3, outcome.directoryCaption);
}

void TForm8::refuseGamePath()
{
    // The emulator finds a game only as EMULATOR/GAME/FILE; a shorter path has no emulator
    // directory to start from.
    const QChar separator = QLatin1Char(m_host.pathSeparator());
    showError(tr("Choose a game inside its own folder within the emulator's folder: "
                 "EMULATOR%1GAME%1GAME.ROM.")
                  .arg(separator));
}

void TForm8::showCaption(QLabel* label, const std::string& text)
{
    label->setText(QString::fromStdString(text));
    label->adjustSize();
}
