// The thin face of the operating system: everything the windows need from it. The program
// uses SystemHost; tests put a recorder in its place.
#pragma once

#include "AtomicFile.h"
#include "OptionsRecord.h"
#include "ProgramStart.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QWidget;

// How the user's locale writes the clock and the date, as QDateTime format strings.
struct ClockFormats {
    QString longTime;  // hour, ":mm:ss", and the AM/PM marker on a 12-hour clock; no zone
    QString shortDate; // the locale's short date pattern

    friend bool operator==(const ClockFormats&, const ClockFormats&) = default;
};

// What the open-file dialog is asked for.
struct OpenFileRequest {
    QString filterDescription; // "Files of NEO-GEO"
    QStringList patterns;      // "*.ROM", "*.038"
};

class Host {
public:
    virtual ~Host() = default;

    // True when the working directory holds a regular file, or a link to one, named `name`
    // in any letter case; a directory of that name does not count.
    virtual bool isFile(const std::string& name) const = 0;

    // Finds the program `name` in `folder` ("." for the working directory) whatever its
    // letter case and decides, from its first bytes read now, how it is started: directly,
    // through Wine or through DOSBox; or says in a sentence why it cannot be.
    virtual PreparedStart prepareStart(const std::string& folder, std::string_view name) const = 0;

    // Starts a prepared program detached with `arguments`, without a shell, never waiting
    // for it. Returns whether it was found fit to start; a refusal by the system later, on
    // the starter's own thread, is not reported.
    virtual bool startProgram(const ProgramStart& start, const std::vector<std::string>& arguments) = 0;

    // Runs the open-file dialog modally over `parent`; the chosen path, or nothing when
    // cancelled. A typed name of a file that does not exist is accepted. Never changes
    // the working directory.
    virtual std::optional<std::string> chooseOpenFile(QWidget* parent, const OpenFileRequest& request) = 0;

    // Fills the record's six one-byte fields from the settings file in the working directory;
    // leaves the record alone when the file is missing or cannot be read.
    virtual void loadOptions(OptionsRecord& record) = 0;

    // Sets the record's header and writes the settings file in the working directory whole;
    // on failure the file is as it was and the result names it and says why.
    virtual WriteResult saveOptions(OptionsRecord& record) = 0;

    // The current local date and time.
    virtual QDateTime now() const = 0;

    // The user's locale formats for the status line clock, read afresh at each call.
    virtual ClockFormats clockFormats() const = 0;

    // The platform's path separator.
    virtual char pathSeparator() const = 0;
};
