// The thin face of the operating system: everything the windows need from it. The program
// uses SystemHost; tests put a recorder in its place.
#pragma once

#include "OptionsStore.h"
#include "StartComposition.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QObject;
class QWidget;

// What a start came to, handed to the window that asked for it.
using StartAnswer = std::function<void(const StartOutcome& outcome)>;

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

    // Starts what `request` asks for, the calling thread never waiting on a file system or a
    // process: finding the program whatever its letter case, reading its first bytes and the
    // Wine drives, composing its start and creating the process all happen elsewhere. The
    // program runs detached, without a shell, and is never waited for. `answered` is called
    // once, later, on this thread and only while `context` lives: once the process exists
    // (the emulator's, or DOSBox's or Wine's), or with why it could not start, the system's
    // own reason included; a start that has no answer within 10 seconds is given up, and
    // then starts nothing.
    virtual void startProgram(const StartRequest& request, QObject* context, StartAnswer answered) = 0;

    // True while a start of the program `name` ("neorage.exe") has not been answered.
    virtual bool isStarting(const std::string& name) const = 0;

    // Runs the open-file dialog modally over `parent`; the chosen path, or nothing when
    // cancelled. A typed name of a file that does not exist is accepted. Never changes
    // the working directory.
    virtual std::optional<std::string> chooseOpenFile(QWidget* parent, const OpenFileRequest& request) = 0;

    // The launch switches, over the settings file in the working directory, made with the
    // host and living as long: each read and save runs in order off the calling thread. A
    // save sets the record's header and writes the file whole; on failure the file is as it
    // was and the result names it and says why. A read fills the record's six one-byte fields
    // and leaves them alone when the file is missing or cannot be read.
    virtual OptionsStore& options() = 0;

    // The current local date and time.
    virtual QDateTime now() const = 0;

    // The user's locale formats for the status line clock, read afresh at each call.
    virtual ClockFormats clockFormats() const = 0;

    // The platform's path separator.
    virtual char pathSeparator() const = 0;
};
