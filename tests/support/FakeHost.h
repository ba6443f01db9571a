// A Host that records what the windows ask of the platform and answers from a script.
#pragma once

#include "Host.h"
#include "SettingsBytes.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <set>

class FakeHost : public Host {
public:
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
    };

    std::set<std::string> files;                          // names that exist
    std::deque<std::optional<std::string>> dialogAnswers; // one per dialog run; empty = cancel
    std::vector<Start> starts;
    std::vector<OpenFileRequest> dialogRequests;
    QDateTime clock = QDateTime(QDate(2026, 12, 7), QTime(21, 5, 9, 250));
    ClockFormats formats{"h:mm:ss AP", "M/d/yy"};
    std::optional<QByteArray> settingsFile; // the settings file's bytes; nothing: no file
    int settingsSaves = 0;                  // saves asked for, written or not
    std::string saveFailure;                // when set, saves write nothing and give this reason
    char separator = '/';
    // How a program is found; by default a program of this machine wherever it is asked for.
    std::function<PreparedStart(const std::string& folder, std::string_view name)> prepare;

    bool isFile(const std::string& name) const override { return files.count(name) > 0; }

    PreparedStart prepareStart(const std::string& folder, std::string_view name) const override
    {
        if (prepare)
            return prepare(folder, name);
        const std::string root(1, separator);
        ProgramStart start;
        start.kind = ProgramKind::Native;
        start.folder = folder;
        start.folderAsSeen = folder == root ? std::string() : folder;
        start.program = (folder == "." ? std::string() : start.folderAsSeen + separator) + std::string(name);
        start.separator = separator;
        return start;
    }

    bool startProgram(const ProgramStart& start, const std::vector<std::string>& arguments) override
    {
        starts.push_back({start.program, arguments});
        return true;
    }

    std::optional<std::string> chooseOpenFile(QWidget*, const OpenFileRequest& request) override
    {
        dialogRequests.push_back(request);
        if (dialogAnswers.empty())
            return std::nullopt;
        auto answer = dialogAnswers.front();
        dialogAnswers.pop_front();
        return answer;
    }

    void loadOptions(OptionsRecord& record) override
    {
        if (settingsFile)
            decodeOptions(std::span(reinterpret_cast<const std::uint8_t*>(settingsFile->constData()),
                                    std::size_t(settingsFile->size())),
                          record);
    }

    WriteResult saveOptions(OptionsRecord& record) override
    {
        ++settingsSaves;
        record.Header = std::string(kSettingsHeader);
        if (saveFailure.empty())
            settingsFile = support::settingsBytes(record);
        return {"/work/ORVELANE.DAT", saveFailure};
    }

    QDateTime now() const override { return clock; }
    ClockFormats clockFormats() const override { return formats; }
    char pathSeparator() const override { return separator; }
};
