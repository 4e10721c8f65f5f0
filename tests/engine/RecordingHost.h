#pragma once
// A host for tests: remembers every text the engine showed and answers
// questions from a script, so a test can assert "this warning was shown".

#include "Host.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace ferrolyt::test {

class RecordingHost : public Host {
public:
    RecordingHost() { previous_ = SetHost(this); }
    ~RecordingHost() override { SetHost(previous_); }

    int ShowWarning(const std::string& text) override
    {
        warnings.push_back(text);
        return 1;
    }
    bool AskYesNo(const std::string& text) override
    {
        questions.push_back(text);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetStatusText(int panel, const std::string& text) override { status[panel] = text; }
    void ProcessMessages() override { ++processMessagesCalls; }
    void ShowInGrid(const TThSys&) override { ++gridShows; }
    void SetCaption(const std::string& text) override { caption = text; }

    bool warned(const std::string& fragment) const
    {
        for (const auto& w : warnings)
            if (w.find(fragment) != std::string::npos)
                return true;
        return false;
    }

    std::vector<std::string> warnings;
    std::vector<std::string> questions;
    std::deque<bool> answers; // answers to the next questions; No when empty
    std::map<int, std::string> status;
    std::string caption;
    int processMessagesCalls = 0;
    int gridShows = 0;

private:
    Host* previous_ = nullptr;
};

} // namespace ferrolyt::test
