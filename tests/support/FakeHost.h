// A Host that records what the windows ask of the platform and answers from a script.
#pragma once

#include "Host.h"
#include "SettingsBytes.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStringList>
#include <QTest>

#include <deque>
#include <functional>
#include <set>
#include <utility>
#include <variant>

// What a test scripts and reads back; a fresh one resets a host between tests.
struct FakeHostScript {
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
    };

    std::set<std::string> files;                          // names that exist
    std::deque<std::optional<std::string>> dialogAnswers; // one per dialog run; empty = cancel
    std::vector<Start> starts;                            // the processes created
    std::vector<StartRequest> requests;                   // every start asked for
    std::vector<OpenFileRequest> dialogRequests;
    QDateTime clock = QDateTime(QDate(2026, 12, 7), QTime(21, 5, 9, 250));
    ClockFormats formats{"h:mm:ss AP", "M/d/yy"};
    std::optional<QByteArray> settingsFile; // the settings file's bytes; nothing: no file
    int settingsSaves = 0;                  // saves asked for, written or not
    std::string saveFailure;                // when set, saves write nothing and give this reason
    char separator = '/';
    // What the platform finds; by default a program of this machine wherever it is asked for.
    std::function<std::variant<FoundProgram, StartRefusal>(const StartRequest&)> find;
    // Answers held back until answerHeld(), as a slow folder holds them.
    bool holdAnswers = false;
    std::vector<std::function<void()>> heldAnswers;
    std::multiset<std::string> starting; // programs whose start is not answered yet
};

namespace support {

// Runs the reads and saves the windows asked of `host` so far, and what they do with the answers.
inline void settle(Host& host)
{
    do {
        QVERIFY(host.options().waitUntilDone(std::chrono::seconds(10)));
        QCoreApplication::sendPostedEvents();
    } while (!host.options().waitUntilDone(std::chrono::milliseconds(0)));
}

} // namespace support

class FakeHost : public Host, public FakeHostScript {
public:
    // `answerLimit`: how long the store waits for the file before it says no answer came.
    explicit FakeHost(std::chrono::milliseconds answerLimit = kAnswerLimit) : answerLimit(answerLimit) {}
    // Takes a fresh script; the store stays, with its record, as the program's does for a run.
    FakeHost& operator=(FakeHost&& fresh)
    {
        store.waitUntilDone(std::chrono::seconds(10));
        FakeHostScript::operator=(std::move(fresh));
        return *this;
    }

    bool isFile(const std::string& name) const override { return files.count(name) > 0; }

    // Composes the start as the real host does, records it as created and answers at once.
    void startProgram(const StartRequest& asked, QObject* context, StartAnswer answered) override
    {
        StartRequest request = asked;
        if (request.readOptions)
            request.options = request.readOptions();
        requests.push_back(request);
        const auto found = find ? find(request) : std::variant<FoundProgram, StartRefusal>(native(request));
        const ComposedStart composed = std::holds_alternative<StartRefusal>(found)
                                           ? ComposedStart(std::get<StartRefusal>(found))
                                           : composeStart(std::get<FoundProgram>(found), request);
        StartOutcome outcome;
        if (const auto* plan = std::get_if<PlannedStart>(&composed)) {
            starts.push_back(
                {plan->command.file, {plan->command.argv.begin() + 1, plan->command.argv.end()}});
            outcome = {true, {}, plan->parameters, plan->directoryCaption};
        } else {
            outcome.message = std::get<StartRefusal>(composed).reason;
        }
        auto answer = [this, name = request.name, context = QPointer<QObject>(context), answered, outcome] {
            starting.erase(starting.find(name));
            if (context)
                answered(outcome);
        };
        starting.insert(request.name);
        holdAnswers ? heldAnswers.push_back(answer) : answer();
    }

    bool isStarting(const std::string& name) const override { return starting.contains(name); }

    void answerHeld()
    {
        for (auto& answer : std::exchange(heldAnswers, {}))
            answer();
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

    OptionsStore& options() override { return store; }

    // The settings file as the store's thread reads and writes it.
    virtual void loadFile(OptionsRecord& record)
    {
        if (settingsFile)
            decodeOptions(std::span(reinterpret_cast<const std::uint8_t*>(settingsFile->constData()),
                                    std::size_t(settingsFile->size())),
                          record);
    }

    virtual WriteResult saveFile(OptionsRecord& record)
    {
        ++settingsSaves;
        record.Header = std::string(kSettingsHeader);
        if (saveFailure.empty())
            settingsFile = support::settingsBytes(record);
        // A folder named in another script: the box names it as it is, on every system.
        return {std::filesystem::path(u8"/work/Ωμέγα/ORVELANE.DAT"), saveFailure};
    }

    void settle() { support::settle(*this); }

    QDateTime now() const override { return clock; }

    // The program asked for, found in its folder and run directly.
    FoundProgram native(const StartRequest& request) const
    {
        const std::string& folder = request.folder;
        const bool root = folder.size() == 1 && folder[0] == separator;
        return FoundProgram{.kind = ProgramKind::Native,
                            .program = (root ? folder : folder + separator) + request.name,
                            .folder = folder,
                            .name = request.name,
                            .spellings = {request.name},
                            .runner = {},
                            .wineDrives = {},
                            .folderEnterable = true};
    }
    ClockFormats clockFormats() const override { return formats; }
    char pathSeparator() const override { return separator; }

    const std::chrono::milliseconds answerLimit;
    // Last, so that it goes first: its thread uses the file above.
    OptionsStore store{[this](OptionsRecord& record) { loadFile(record); },
                       [this](OptionsRecord& record) { return saveFile(record); }, "/work/ORVELANE.DAT",
                       answerLimit};
};
