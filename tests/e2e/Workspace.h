// A throw-away working directory for one run of the program, with the companion files,
// game files and recording stand-ins for the emulators put where a test wants them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The four launch switches as the settings file stores them.
struct Switches {
    bool noScanlines = false;
    bool enableVsync = false;
    bool vgaMode = false;
    bool frameSkip = false;
};

class Workspace {
public:
    Workspace();

    // Whether the temporary directory could be made.
    bool isValid() const { return m_root.isValid(); }

    // The directory the program runs in: a directory of its own, named `name`, inside
    // the temporary root (blanks and shell characters welcome). Made on first call.
    QString useWorkingDirectory(const QString& name);
    // The working directory in force (the root itself unless useWorkingDirectory chose one).
    QString workingDirectory() const { return m_workingDirectory; }
    // A path inside the temporary root, for files that are not the program's business.
    QString rootPath(const QString& relative = {}) const;

    // The 35-byte settings file with the given switches and zero reserved bytes.
    bool writeSettings(const Switches& switches = {});
    // The companion text file; empty, since only its presence counts.
    bool writeCompanionText();
    // Both files the program needs to start: the settings file with `switches` and the text.
    bool writeStartFiles(const Switches& switches = {});
    // An empty file at `relativePath` (inside the working directory), making directories.
    bool writeFile(const QString& relativePath, const QByteArray& contents = {});
    // A directory at `relativePath` inside the working directory.
    bool makeDirectory(const QString& relativePath);

    // The settings file's bytes for `switches`, as the program itself would write them.
    static QByteArray settingsBytes(const Switches& switches);

private:
    QTemporaryDir m_root;
    QString m_workingDirectory;
};
