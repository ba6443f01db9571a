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
#include <QFileSystemModel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPointer>
#include <QSet>

#include <filesystem>
#include <memory>
#include <vector>

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

struct NameOnlyIcons {
    NameOnlyIconProvider icons;
};

// Qt's own file dialog, titled empty, with the icons above, which it outlives: its threads use
// them until it has gone. Left to itself the dialog reopens wherever the last game was chosen;
// it is to open in the working directory every time, and a typed bare name means a file there.
class OpenFileDialog : private NameOnlyIcons, public QFileDialog {
public:
    OpenFileDialog(QWidget* parent, const QString& nameFilter)
        : QFileDialog(parent, QString(), QDir::currentPath())
    {
        // Where the system has a dialog of its own (Windows), Qt's widgets, its model among
        // them, are made only now.
        setOption(QFileDialog::DontUseNativeDialog, true);
        m_folders = findChild<QFileSystemModel*>();
        setIconProvider(&icons);
        setAcceptMode(QFileDialog::AcceptOpen);
        // Any name will do, even one of a file not there yet: the emulator decides what it can load.
        setFileMode(QFileDialog::AnyFile);
        // Game files come as "MSLUG.038" and "mslug.038" alike; the filter must show both. The
        // case rule is read when the patterns are set, so it goes first.
        setFilter(filter() & ~QDir::CaseSensitive);
        // The list of types shows the description alone ("Files of NEO-GEO"); the patterns
        // still do the filtering.
        setOption(QFileDialog::HideNameFilterDetails, true);
        setNameFilter(nameFilter);
        connect(m_folders, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
            m_listed.insert(folder);
            if (m_parked && !waitsForAListing())
                deleteLater();
        });
    }

    // Deleting a dialog waits for the thread that lists its folders, which a folder that does
    // not answer holds for good: a closed dialog that still waits for a listing is hidden away,
    // no window's child, and deleted once every listing has come (or never, if none comes).
    static void retire(std::unique_ptr<OpenFileDialog> dialog)
    {
        // The next dialog, in this run or the next, first looks up the folder the last one was
        // in, on the UI thread, before it turns to the working directory: a share the user
        // browsed to and that has gone since would hold it there. The working directory is
        // looked up anyway, and is known to this one already.
        dialog->setDirectory(QDir::currentPath());
        if (!dialog->waitsForAListing())
            return;
        OpenFileDialog* parked = dialog.release();
        parked->setParent(nullptr, parked->windowFlags());
        parked->m_parked = true;
    }

private:
    // True while a folder the dialog asked for (a folder shown, typed or opened in the tree)
    // has not been listed. The model has asked for a folder's listing once it has nothing
    // more to fetch there; walking the model reads nothing from the disk.
    bool waitsForAListing() const
    {
        std::vector<QModelIndex> folders{m_folders->index(m_folders->rootPath())};
        for (int row = 0; row < m_folders->rowCount(); ++row)
            folders.push_back(m_folders->index(row, 0));
        while (!folders.empty()) {
            const QModelIndex folder = folders.back();
            folders.pop_back();
            if (!folder.isValid())
                continue;
            if (!m_folders->canFetchMore(folder) && !m_listed.contains(m_folders->filePath(folder)))
                return true;
            for (int row = 0; row < m_folders->rowCount(folder); ++row)
                folders.push_back(m_folders->index(row, 0, folder));
        }
        return false;
    }

    QFileSystemModel* m_folders = nullptr;
    QSet<QString> m_listed;
    bool m_parked = false;
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
    auto dialog = std::make_unique<OpenFileDialog>(parent, openFileFilter(request));
    const QPointer<OpenFileDialog> alive = dialog.get();
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!alive) { // gone with its window while it was open
        (void)dialog.release();
        return std::nullopt;
    }
    const QStringList chosen = accepted ? dialog->selectedFiles() : QStringList();
    OpenFileDialog::retire(std::move(dialog));
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
