#include "AtomicFile.h"
#include "SettingsFileHelpers.h"
#include "SettingsLayout.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const QByteArray kHeader(" KELMOR   - DATA -  ");

mode_t modeOf(const QString& path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Settings records make distinct contents of 35 bytes, no bigger than a temporary of theirs.
WriteResult replaceWith(const QString& path, const OptionsRecord& record)
{
    return replaceFileAtomically(fsPath(path), encodeOptions(record), {isSettingsFile, "a settings file"});
}

// How many bytes of the file at `path` could be read; nothing when it cannot be.
std::optional<std::size_t> readStart(const QString& path)
{
    SettingsBytes bytes{};
    return readFileStart(fsPath(path), bytes);
}

// Users and a group that exist nowhere else on the machine; root makes files theirs.
constexpr gid_t kShared = 4242;
constexpr uid_t kMember = 4243;
constexpr uid_t kStranger = 4244;

// Runs `work` in a forked child that has become `uid`, in group `kShared` only, after
// `prepare` ran there as root. Its answer, or nothing when the child could not get that far.
std::optional<bool> answerAs(
    uid_t uid, const std::function<bool()>& work, const std::function<bool()>& prepare = [] { return true; })
{
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ready =
            prepare() && ::setgroups(1, &kShared) == 0 && ::setgid(uid) == 0 && ::setuid(uid) == 0;
        ::_exit(ready ? (work() ? 0 : 1) : 2);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

} // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

private slots:
    void writeProtectedFileIsReadButNotWritten();
    void rewrittenInPlaceWhereNoReplacementCanBeMade_data();
    void rewrittenInPlaceWhereNoReplacementCanBeMade();
    void readOnlyFolderWithoutTheFileGetsNothing();
    void aNameThatIsNoFileIsNeitherReadNorReplaced_data();
    void aNameThatIsNoFileIsNeitherReadNorReplaced();
    void symlinkKeepsPointingAtItsTarget();
    void danglingSymlinkGetsItsTargetCreated();
    void linksAreFollowedOnlyToFilesTheirOwnersCouldWrite_data();
    void linksAreFollowedOnlyToFilesTheirOwnersCouldWrite();
    void whereALinkLeadsIsJudgedByTheFolderItEndsIn_data();
    void whereALinkLeadsIsJudgedByTheFolderItEndsIn();
    void replacedFileKeepsItsPermissions();
    void groupMemberSavingASharedFileKeepsItsGroup();
    void aclAndOtherAttributesSurviveASave();
    void newFileIsCreatedWithUmaskApplied();
    void fullDiskLeavesOldFileIntact();
    void shortWriteLeavesOldFileIntact();
    void temporaryOfAKilledSaveIsClearedByTheNext();
};

void TestAtomicFile::writeProtectedFileIsReadButNotWritten()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    const QByteArray content = fileWith(kHeader, QByteArray("\0\0\1\1\0\0", 6), '\0');
    writeFile(file, content);
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0444) == 0);
    QCOMPARE(readStart(file), std::optional<std::size_t>(35));

    const WriteResult written = replaceWith(file, switches(0, 0, 0, 1));
    QVERIFY2(!written, "a protected file must be refused, even for root");
    QCOMPARE(written.failure, std::string("Permission denied"));
    QCOMPARE(readFile(file), content);
    QCOMPARE(modeOf(file), mode_t(0444));
    QCOMPARE(entriesOf(dir.path()), QStringList{"ORVELANE.DAT"});
}

void TestAtomicFile::rewrittenInPlaceWhereNoReplacementCanBeMade_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("anotherUsersFile");
    QTest::addColumn<bool>("mountedOnItself");
    QTest::newRow("a folder without write permission") << 0555 << false << false;
    QTest::newRow("another user's group-writable file in a sticky folder") << 01777 << true << false;
    QTest::newRow("a file mounted on its own, as in a container") << 0755 << false << true;
}

// The click is saved all the same, into the very file, so a hard link to it sees it too.
void TestAtomicFile::rewrittenInPlaceWhereNoReplacementCanBeMade()
{
    QFETCH(int, folderMode);
    QFETCH(bool, anotherUsersFile);
    QFETCH(bool, mountedOnItself);
    if ((anotherUsersFile || mountedOnItself) && ::geteuid() != 0)
        QSKIP("needs root, to make another user's file or to mount one");
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.filePath("games"));
    const QString file = dir.filePath("games/ORVELANE.DAT");
    const QByteArray name = QFile::encodeName(file);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0 &&
            ::mkdir(folder.constData(), 0755) == 0);
    writeFile(file, fileWith(kHeader, QByteArray(6, '\0'), '\0') + "and a tail");
    QVERIFY(::link(name.constData(), QFile::encodeName(dir.filePath("linked.dat")).constData()) == 0);
    auto restore = qScopeGuard([&] {
        ::umount2(name.constData(), MNT_DETACH);
        ::chmod(folder.constData(), 0755);
    });
    if (mountedOnItself && ::mount(name.constData(), name.constData(), nullptr, MS_BIND, nullptr) != 0)
        QSKIP(qPrintable(QStringLiteral("cannot bind-mount a file here: %1").arg(std::strerror(errno))));
    if (anotherUsersFile)
        QVERIFY(::chown(name.constData(), kStranger, kShared) == 0 && ::chmod(name.constData(), 0664) == 0);
    QVERIFY(::chmod(folder.constData(), mode_t(folderMode)) == 0);

    OptionsRecord record = switches(1, 0, 1, 1);
    const auto save = [&] { return bool(replaceWith(file, record)); };
    QCOMPARE(anotherUsersFile ? answerAs(kMember, save) : std::optional(save()), std::optional(true));
    QCOMPARE(readFile(file), toByteArray(encodeOptions(record)));
    QCOMPARE(readFile(dir.filePath("linked.dat")), toByteArray(encodeOptions(record)));
    QCOMPARE(entriesOf(dir.filePath("games")), QStringList{"ORVELANE.DAT"});
}

void TestAtomicFile::readOnlyFolderWithoutTheFileGetsNothing()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    QVERIFY(::chmod(folder.constData(), 0555) == 0);
    auto restore = qScopeGuard([&folder] { ::chmod(folder.constData(), 0755); });
    OptionsRecord record = switches(1, 1, 1, 1);
    QVERIFY(!replaceWith(dir.filePath("ORVELANE.DAT"), record));
    QVERIFY(entriesOf(dir.path()).isEmpty());
}

void TestAtomicFile::aNameThatIsNoFileIsNeitherReadNorReplaced_data()
{
    QTest::addColumn<QString>("made");
    QTest::newRow("a folder") << "folder";
    // Reading a FIFO with no writer would wait for ever; the test would then hang, not fail.
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a link loop") << "loop";
}

void TestAtomicFile::aNameThatIsNoFileIsNeitherReadNorReplaced()
{
    QFETCH(QString, made);
    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    const QByteArray name = QFile::encodeName(file);
    if (made == "folder")
        QVERIFY(QDir(dir.path()).mkdir("ORVELANE.DAT"));
    else if (made == "fifo")
        QVERIFY(::mkfifo(name.constData(), 0644) == 0);
    else
        QVERIFY(::symlink("other", name.constData()) == 0 &&
                ::symlink("ORVELANE.DAT", QFile::encodeName(dir.filePath("other")).constData()) == 0);
    const QStringList entries = entriesOf(dir.path());
    struct stat before {};
    QCOMPARE(::lstat(name.constData(), &before), 0);

    QVERIFY(!readStart(file));
    QVERIFY(!replaceWith(file, OptionsRecord()));
    struct stat after {};
    QCOMPARE(::lstat(name.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(entriesOf(dir.path()), entries);
}

void TestAtomicFile::symlinkKeepsPointingAtItsTarget()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("shared"));
    const QString target = dir.filePath("shared/options.dat");
    const QString link = dir.filePath("ORVELANE.DAT");
    writeFile(target, fileWith(kHeader, QByteArray(6, '\0'), '\0'));
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0600) == 0);
    QVERIFY(::symlink("shared/options.dat", QFile::encodeName(link).constData()) == 0);

    OptionsRecord record = switches(1, 0, 1, 0);
    QVERIFY(replaceWith(link, record));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFile::symLinkTarget(link), QFileInfo(target).absoluteFilePath());
    QCOMPARE(readFile(target), toByteArray(encodeOptions(record)));
    QCOMPARE(modeOf(target), mode_t(0600));
    QCOMPARE(entriesOf(dir.filePath("shared")), QStringList{"options.dat"});
}

void TestAtomicFile::danglingSymlinkGetsItsTargetCreated()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ORVELANE.DAT");
    QVERIFY(::symlink("real.dat", QFile::encodeName(link).constData()) == 0);
    OptionsRecord record = switches(0, 1, 0, 0);
    QVERIFY(replaceWith(link, record));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readFile(dir.filePath("real.dat")), toByteArray(encodeOptions(record)));
}

void TestAtomicFile::linksAreFollowedOnlyToFilesTheirOwnersCouldWrite_data()
{
    QTest::addColumn<QList<uid_t>>("linkOwners"); // the chain, from the name saved on
    QTest::addColumn<uid_t>("fileOwner");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("followed");
    QTest::addColumn<QByteArray>("content"); // the file's, before
    QTest::addColumn<bool>("inFolder");      // beside the link rather than out of its folder
    const uid_t root = 0;
    const QByteArray settings = toByteArray(encodeOptions(switches(0, 0, 0, 0)));
    const auto row = [&settings](const char* name, QList<uid_t> owners, uid_t fileOwner, int mode,
                                 bool followed, const QByteArray& content = {}, bool inFolder = false) {
        QTest::newRow(name) << owners << fileOwner << mode << followed
                            << (content.isNull() ? settings : content) << inFolder;
    };
    // A link, even your own, leads a save out of its folder only onto a settings file.
    row("your own link, out of the folder to a file that is no settings file", {kMember}, kMember, 0755,
        false, "the user's shell profile");
    row("your own link, within the folder to a file that is no settings file", {kMember}, kMember, 0755, true,
        "a file of the user's", true);
    row("your own link, out of the folder to a settings file", {kMember}, kMember, 0755, true);
    row("root's link", {root}, kMember, 0755, true);
    row("another user's link to their own file", {kStranger}, kStranger, 0755, true);
    row("another user's link to your file", {kStranger}, kMember, 0755, false);
    row("your link to another user's link to your file", {kMember, kStranger}, kMember, 0755, false);
    row("another user's link to root's link to their own file", {kStranger, root}, kStranger, 0755, true);
    // In a sticky, world-writable folder the kernel's own rule applies as well.
    row("another user's link to their own file, in a sticky folder", {kStranger}, kStranger, 01777, false);
    row("your own link there", {kMember}, kMember, 01777, true);
    row("the folder owner's link there", {root}, kMember, 01777, true);
}

// Another user plants "ORVELANE.DAT" as a link to a file of ours; saving through it must not
// turn that file into a settings file. Reading through it stays allowed.
void TestAtomicFile::linksAreFollowedOnlyToFilesTheirOwnersCouldWrite()
{
    QFETCH(QList<uid_t>, linkOwners);
    QFETCH(uid_t, fileOwner);
    QFETCH(int, folderMode);
    QFETCH(bool, followed);
    QFETCH(QByteArray, content);
    QFETCH(bool, inFolder);
    if (::geteuid() != 0)
        QSKIP("needs root, to give the links, the file and the saving user different owners");
    QTemporaryDir dir; // the saving user's own folder, the shared one inside it
    const QByteArray shared = QFile::encodeName(dir.filePath("shared"));
    const QByteArray mine = (inFolder ? shared : QFile::encodeName(dir.path())) + "/mine.dat";
    const QByteArray link = shared + "/ORVELANE.DAT";
    QVERIFY(::mkdir(shared.constData(), 0755) == 0);
    writeFile(QFile::decodeName(mine), content);
    QVERIFY(::chown(QFile::encodeName(dir.path()).constData(), kMember, kMember) == 0 &&
            ::chown(mine.constData(), fileOwner, fileOwner) == 0 && ::chmod(mine.constData(), 0666) == 0);
    QVERIFY(::chmod(shared.constData(), mode_t(folderMode)) == 0);
    for (qsizetype at = 0; at < linkOwners.size(); ++at) {
        const QByteArray name = at == 0 ? link : shared + "/link" + QByteArray::number(at);
        const QByteArray next =
            at + 1 < linkOwners.size() ? shared + "/link" + QByteArray::number(at + 1) : mine;
        QVERIFY(::symlink(next.constData(), name.constData()) == 0 &&
                ::lchown(name.constData(), linkOwners[at], linkOwners[at]) == 0);
    }
    // Where the machine has the kernel's protection off, the saving child alone sees it on,
    // through a mount namespace of its own.
    writeFile(dir.filePath("on"), "1");
    const auto protectionOn = [&dir] {
        return readFile("/proc/sys/fs/protected_symlinks").startsWith('1') ||
               (::unshare(CLONE_NEWNS) == 0 &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                ::mount(QFile::encodeName(dir.filePath("on")).constData(), "/proc/sys/fs/protected_symlinks",
                        nullptr, MS_BIND, nullptr) == 0);
    };

    OptionsRecord record = switches(1, 1, 0, 0);
    const std::optional<bool> saved = answerAs(
        kMember, [&] { return bool(replaceWith(QFile::decodeName(link), record)); }, protectionOn);
    if (!saved)
        QSKIP("cannot switch the kernel's link protection on for a child here");
    QCOMPARE(*saved, followed);
    QCOMPARE(readFile(QFile::decodeName(mine)), followed ? toByteArray(encodeOptions(record)) : content);
    QVERIFY(QFileInfo(QFile::decodeName(link)).isSymLink());
    QVERIFY(readStart(QFile::decodeName(link)));
}

void TestAtomicFile::whereALinkLeadsIsJudgedByTheFolderItEndsIn_data()
{
    QTest::addColumn<QByteArray>("text"); // of the link games/ORVELANE.DAT
    QTest::addColumn<bool>("followed");   // onto a file that is no settings file
    QTest::newRow("out of the folder and back in") << QByteArray("../games/mine.dat") << true;
    QTest::newRow("through a link to a folder below") << QByteArray("below/mine.dat") << true;
    QTest::newRow("into a folder beside it") << QByteArray("../elsewhere/mine.dat") << false;
    QTest::newRow("through a link to a folder beside it") << QByteArray("beside/mine.dat") << false;
}

// The folder where the way ends counts, not the names the link spells on the way there.
void TestAtomicFile::whereALinkLeadsIsJudgedByTheFolderItEndsIn()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, followed);
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    for (const char* folder : {"/games", "/games/sub", "/elsewhere"})
        QVERIFY(::mkdir((root + folder).constData(), 0755) == 0);
    QVERIFY(::symlink("sub", (root + "/games/below").constData()) == 0 &&
            ::symlink("../elsewhere", (root + "/games/beside").constData()) == 0 &&
            ::symlink(text.constData(), (root + "/games/ORVELANE.DAT").constData()) == 0);
    const QString mine = QFile::decodeName(root + "/games/" + text);
    writeFile(mine, "a file of the user's");
    const OptionsRecord record = switches(0, 1, 1, 0);
    QCOMPARE(bool(replaceWith(dir.filePath("games/ORVELANE.DAT"), record)), followed);
    QCOMPARE(readFile(mine),
             followed ? toByteArray(encodeOptions(record)) : QByteArray("a file of the user's"));
}

void TestAtomicFile::replacedFileKeepsItsPermissions()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    writeFile(file, QByteArray(35, '\0'));
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0620) == 0);
    OptionsRecord record = switches(1, 1, 0, 0);
    QVERIFY(replaceWith(file, record));
    QCOMPARE(modeOf(file), mode_t(0620));
    QCOMPARE(readFile(file), toByteArray(encodeOptions(record)));
}

// Another user's file, shared through a group: a member of the group saves it. The owner
// cannot be kept, the group can.
void TestAtomicFile::groupMemberSavingASharedFileKeepsItsGroup()
{
    if (::geteuid() != 0)
        QSKIP("needs root, to make the file's owner and the saving user differ");
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
    const QString file = dir.filePath("ORVELANE.DAT");
    OptionsRecord original = switches(1, 0, 0, 0);
    QVERIFY(replaceWith(file, original));
    QVERIFY(::chown(QFile::encodeName(file).constData(), 0, kShared) == 0);
    QVERIFY(::chmod(QFile::encodeName(file).constData(), 0664) == 0);

    OptionsRecord changed = switches(0, 1, 1, 0);
    QCOMPARE(answerAs(kMember, [&] { return bool(replaceWith(file, changed)); }), std::optional(true));

    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
    QCOMPARE(after.st_uid, kMember);
    QCOMPARE(after.st_gid, kShared);
    QCOMPARE(after.st_mode & 07777, mode_t(0664));
    QCOMPARE(readFile(file), toByteArray(encodeOptions(changed)));
}

// A file shared with one more user through an ACL: its group bits are the ACL's mask, so a
// save that copied only the mode bits would drop the user and widen the group.
void TestAtomicFile::aclAndOtherAttributesSurviveASave()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    const QByteArray name = QFile::encodeName(file);
    OptionsRecord record = switches(1, 0, 0, 0);
    QVERIFY(replaceWith(file, record));
    if (QProcess::execute("setfacl", {"-m", "u:4243:rw,g::r,m::rw", file}) != 0)
        QSKIP("setfacl is missing (package acl) or this file system keeps no ACLs");
    if (::setxattr(name.constData(), "user.orvelane.note", "kept", 4, 0) != 0)
        QSKIP(qPrintable(QStringLiteral("no user attributes here: %1").arg(std::strerror(errno))));
    const auto attribute = [&name](const char* key) {
        QByteArray value(4096, '\0');
        return value.left(std::max<ssize_t>(::getxattr(name.constData(), key, value.data(), 4096), 0));
    };
    const QByteArray acl = attribute("system.posix_acl_access");
    const mode_t mode = modeOf(file);
    QVERIFY(!acl.isEmpty());

    record.EnableVsync = 1;
    QVERIFY(replaceWith(file, record));
    QCOMPARE(readFile(file), toByteArray(encodeOptions(record)));
    QCOMPARE(attribute("system.posix_acl_access"), acl);
    QCOMPARE(attribute("user.orvelane.note"), QByteArray("kept"));
    QCOMPARE(modeOf(file), mode);
}

void TestAtomicFile::newFileIsCreatedWithUmaskApplied()
{
    const mode_t earlier = ::umask(027);
    auto restore = qScopeGuard([earlier] { ::umask(earlier); });
    QTemporaryDir dir;
    OptionsRecord record;
    QVERIFY(replaceWith(dir.filePath("ORVELANE.DAT"), record));
    QCOMPARE(modeOf(dir.filePath("ORVELANE.DAT")), mode_t(0640));
}

void TestAtomicFile::fullDiskLeavesOldFileIntact()
{
    QTemporaryDir mountPoint;
    const QByteArray where = QFile::encodeName(mountPoint.path());
    if (::mount("orvelane-test", where.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here: %1").arg(std::strerror(errno))));
    auto unmount = qScopeGuard([&where] { ::umount2(where.constData(), MNT_DETACH); });

    const QString file = mountPoint.filePath("ORVELANE.DAT");
    OptionsRecord original = switches(1, 0, 0, 1);
    original.Reserved1 = 9;
    QVERIFY(replaceWith(file, original));
    const QByteArray before = readFile(file);
    QCOMPARE(before.size(), 35);

    const int filler = ::open(QFile::encodeName(mountPoint.filePath("filler")).constData(),
                              O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(filler >= 0);
    const QByteArray block(4096, 'f');
    while (::write(filler, block.constData(), static_cast<size_t>(block.size())) > 0) {
    }
    QCOMPARE(errno, ENOSPC);
    ::close(filler);

    OptionsRecord changed = switches(0, 1, 1, 0);
    QVERIFY(!replaceWith(file, changed));
    QCOMPARE(readFile(file), before);
    QCOMPARE(entriesOf(mountPoint.path()), (QStringList{"ORVELANE.DAT", "filler"}));
}

// The same fault on any machine, without mounting anything: a file-size limit below 35 bytes
// cuts the write of the temporary short.
void TestAtomicFile::shortWriteLeavesOldFileIntact()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("ORVELANE.DAT");
    OptionsRecord original = switches(1, 0, 0, 1);
    QVERIFY(replaceWith(file, original));
    const QByteArray before = readFile(file);

    rlimit earlier{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &earlier), 0);
    rlimit small = earlier;
    small.rlim_cur = 20;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    OptionsRecord changed = switches(0, 1, 1, 0);
    const bool saved = bool(replaceWith(file, changed));
    ::setrlimit(RLIMIT_FSIZE, &earlier);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!saved);
    QCOMPARE(readFile(file), before);
    QCOMPARE(entriesOf(dir.path()), QStringList{"ORVELANE.DAT"});
}

// Whether a temporary is abandoned is told by its writer's lock, not by the pid in its name:
// that pid means nothing to a save in another container or on another machine sharing the
// folder, and here it may name a process that merely took the number over.
void TestAtomicFile::temporaryOfAKilledSaveIsClearedByTheNext()
{
    // A process that has ended: its pid names nobody here.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    QVERIFY(child > 0);
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    const QString dead = QString::number(child);
    const QString living = QString::number(::getppid());

    QTemporaryDir dir;
    const QByteArray partial = kHeader.left(7);
    writeFile(dir.filePath(".ORVELANE.DAT." + dead + ".1234567"), partial);
    writeFile(dir.filePath(".ORVELANE.DAT." + dead + ".99"), QByteArray());
    writeFile(dir.filePath(".ORVELANE.DAT." + living + ".1234567"), partial);
    // Not ours to remove: a writer still at work whose pid is nobody here, a name of another
    // shape, a file too big to be a settings file, a folder.
    const QString elsewhere = dir.filePath(".ORVELANE.DAT." + dead + ".555");
    const OptionsRecord theirs = switches(0, 1, 0, 1);
    writeFile(elsewhere, toByteArray(encodeOptions(theirs)));
    const int writer = ::open(QFile::encodeName(elsewhere).constData(), O_WRONLY | O_CLOEXEC);
    QVERIFY(writer >= 0 && ::flock(writer, LOCK_EX) == 0);
    auto release = qScopeGuard([writer] { ::close(writer); });
    writeFile(dir.filePath(".ORVELANE.DAT." + dead + ".tmp"), partial);
    writeFile(dir.filePath(".ORVELANE.DAT." + dead + ".7"), QByteArray(36, 'x'));
    writeFile(dir.filePath("ORVELANE.DAT." + dead + ".8"), partial);
    QVERIFY(QDir(dir.path()).mkdir(".ORVELANE.DAT." + dead + ".9"));

    OptionsRecord record = switches(1, 0, 1, 0);
    QVERIFY(replaceWith(dir.filePath("ORVELANE.DAT"), record));
    QStringList expected{".ORVELANE.DAT." + dead + ".555",
                         ".ORVELANE.DAT." + dead + ".tmp",
                         ".ORVELANE.DAT." + dead + ".7",
                         ".ORVELANE.DAT." + dead + ".9",
                         "ORVELANE.DAT",
                         "ORVELANE.DAT." + dead + ".8"};
    expected.sort();
    QCOMPARE(entriesOf(dir.path()), expected);
    // The other writer's click is not lost: its rename still finds its temporary.
    QCOMPARE(::rename(QFile::encodeName(elsewhere).constData(),
                      QFile::encodeName(dir.filePath("ORVELANE.DAT")).constData()),
             0);
    QCOMPARE(readFile(dir.filePath("ORVELANE.DAT")), toByteArray(encodeOptions(theirs)));
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
