#include "SystemHost.h"

#include "EmulatorPrograms.h"
#include "FileLookup.h"
#include "LocaleClockFormats.h"
#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>

#include <filesystem>

namespace {

// The dialog's filter text for `request`: "Files of NEO-GEO (*.ROM *.038)".
QString openFileFilter(const OpenFileRequest& request)
{
    const QString patterns = request.patterns.isEmpty() ? QStringLiteral("*") : request.patterns.join(u' ');
    return request.filterDescription + QStringLiteral(" (") + patterns + u')';
}

// Qt's own provider finds a file's type, and its icon in the icon theme, by reading the first
// bytes of every file whose name it does not know (ORVELANE.DAT, "MSLUG.038"), and the
// dialog asks it on the UI thread for each file of each folder it shows: a game folder on a
// share that stopped answering would freeze the program. This one goes by the name alone and
// is the same everywhere else. It is asked on the dialog's folder-reading thread too.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override
    {
        if (!info.isFile())
            return QFileIconProvider::icon(info);
        const QIcon named = QIcon::fromTheme(typeByName(info).iconName());
        return named.isNull() ? QFileIconProvider::icon(File) : named;
    }
    using QFileIconProvider::icon;

    QString type(const QFileInfo& info) const override
    {
        if (!info.isFile())
            return QFileIconProvider::type(info);
        const QMimeType type = typeByName(info);
        return type.comment().isEmpty() ? type.name() : type.comment();
    }

private:
    QMimeType typeByName(const QFileInfo& info) const
    {
        return m_types.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    }

    QMimeDatabase m_types;
};

// The settings file's name in the texts, before it is looked for: the working directory
// never changes.
std::filesystem::path workingSettingsFile()
{
    std::error_code error;
    return std::filesystem::current_path(error) / kSettingsFileName;
}

} // namespace

SystemHost::SystemHost()
    : m_options([](OptionsRecord& record) { LoadOptions(record); },
                [](OptionsRecord& record) { return SaveOptions(record); }, workingSettingsFile())
{
}

SystemHost::~SystemHost()
{
    delete m_starter;
}

bool SystemHost::isFile(const std::string& name) const
{
    const std::filesystem::path path(name);
    return findFileIgnoringCase(path.parent_path(), path.filename().string()).has_value();
}

void SystemHost::startProgram(const StartRequest& request, QObject* context, StartAnswer answered)
{
    // Only the environment is read here, once; the file system is left to the start's thread.
    auto prepare = [request = StartRequest(request), environment = ProgramEnvironment::current(),
                    settings = workingSettingsFile().string()](
                       const ProgramStarter::Doing& doing) mutable -> ProgramStarter::Prepared {
        // The switches are read here, after every save the windows queued before the press.
        if (request.readOptions) {
            doing("reading \"" + settings + '"');
            request.options = request.readOptions();
            doing("looking into its folder");
        }
        std::variant<FoundProgram, StartRefusal> found =
            findProgram(request.folder, request.name, environment);
        if (auto* refusal = std::get_if<StartRefusal>(&found))
            return {std::move(*refusal), {}};
        const FoundProgram& program = std::get<FoundProgram>(found);
        return {composeStart(program, request), environment.forProgram(program)};
    };
    if (!m_starter)
        m_starter = new ProgramStarter(kAnswerLimit, QCoreApplication::instance());
    // The chosen game's folder is absolute already; NEOGEO's "." is the working directory.
    std::error_code error;
    const std::string shown =
        request.folder == "." ? std::filesystem::current_path(error).string() : request.folder;
    m_starter->start(shown, request.name, std::move(prepare), context, std::move(answered));
}

bool SystemHost::isStarting(const std::string& name) const
{
    return m_starter && m_starter->isStarting(name);
}

std::optional<std::string> SystemHost::chooseOpenFile(QWidget* parent, const OpenFileRequest& request)
{
    // Made first, so that it goes last: the dialog's threads use it until the dialog has gone.
    NameOnlyIconProvider icons;
    // Left to itself the dialog reopens wherever the last game was chosen; it is to open in
    // the working directory every time, and a typed bare name means a file there.
    QFileDialog dialog(parent, QString(), QDir::currentPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any name will do, even one of a file not there yet: the emulator decides what it can load.
    dialog.setFileMode(QFileDialog::AnyFile);
    // Game files come as "MSLUG.038" and "mslug.038" alike; the filter must show both. The
    // case rule is read when the patterns are set, so it goes first.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    // The list of types shows the description alone ("Files of NEO-GEO"); the patterns
    // still do the filtering.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(openFileFilter(request));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    const QString path = QDir::toNativeSeparators(QFileInfo(chosen.first()).absoluteFilePath());
    return path.toStdString();
}

OptionsStore& SystemHost::options()
{
    return m_options;
}

QDateTime SystemHost::now() const
{
    return QDateTime::currentDateTime();
}

ClockFormats SystemHost::clockFormats() const
{
    return clockFormatsFor(QLocale::system());
}

char SystemHost::pathSeparator() const
{
    return static_cast<char>(std::filesystem::path::preferred_separator);
}
